// Reading the arguments of fader-file lines: fader designators and the slot
// range check, shared by the keyword passes.
#pragma once

#include "mixer/utilities/text/keyword_line.hpp"

namespace varnel {

// A slot above 135 (or negative) becomes 135, with the message
// ">>Channel number out of range or not specified!" naming the line.
void CheckSlot(KeywordLine& k, int& slot);

// Reads a fader designator: a number, "M" (the master) or "G" and a submix
// number. Sets isMaster for "M". A missing designator reads as 0 (slot 0).
void ReadFaderDesignator(KeywordLine& k, int& slot, bool& isMaster);

}  // namespace varnel
