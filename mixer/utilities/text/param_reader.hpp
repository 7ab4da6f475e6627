// Reads every line of one effect keyword into a scratch table of one row per
// slot: element 0 is 1.0 when the slot has a line, elements 1.. its values.
#pragma once

#include <array>
#include <string_view>

#include "mixer/utilities/limits.hpp"
#include "mixer/utilities/text/text_scan.hpp"

namespace varnel {

constexpr int kParamRow = 8;
using ParamTable = std::array<std::array<double, kParamRow>, kFxSlots>;

// `count` is the number of row elements to fill, presence included (2..5):
// the designator is followed by count - 2 tab fields and the rest of the line.
// A line naming the master "M" sets masterFlag and anyMasterFlag. Effect names
// standing in order lines are not taken for keyword lines.
// A missing value reads as 0. `lines`, when given, receives the line of each
// slot's row, for the messages of the conversions that follow.
using ParamLines = std::array<int, kFxSlots>;
void ParamsFromBuffer(const ScanText& text, std::string_view keyword, ParamTable& table,
                      int count, int& masterFlag, int& anyMasterFlag, ParamLines* lines = nullptr);

}  // namespace varnel
