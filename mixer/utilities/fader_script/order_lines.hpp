// The chain effects in their fixed running order, and the order lines that
// move one effect of one slot to another position in the chain. An order line
// is a single line: a first field beginning with "o" (written "order"), then
// the effect, the slot designator and the position, e.g. "order\tcomp\t4\t1".
#pragma once

#include <string_view>

#include "mixer/utilities/limits.hpp"
#include "mixer/utilities/text/text_scan.hpp"

namespace varnel {

enum ChainEffect { kHp, kBand1, kBand2, kBand3, kBand4, kHshelf, kLshelf, kRms, kNlc, kComp, kLim };
constexpr int kChainEffects = 11;
constexpr int kDefaultPosition = 11;
constexpr int kFirstPosition = 1;
constexpr int kLastPosition = 11;

// The effect's keyword in the fader file ("hp" .. "lim").
std::string_view ChainEffectName(int effect);
// Index of the named chain effect, or -1.
int ChainEffectIndex(std::string_view name);

// True when the text at `offset` is the effect field of an order line, so a
// keyword pass must not take it for an effect line.
bool IsOrderEffectField(std::string_view content, size_t offset);

// Reads every order line of the content (up to the field "end") into the
// position table [effect][slot]. Slots outside 0..136 and lines without a
// position field are ignored.
void ReadOrderLines(const ScanText& src, int (&position)[kChainEffects][kSlots]);

// True when the line is an order line: a first field beginning with "o" and
// an effect name as the second (fields split at tabs and colons).
bool IsOrderLineText(std::string_view line);

}  // namespace varnel
