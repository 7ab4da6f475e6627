// Reading a fader-file line the way the mixer reads it: its fields, its
// keyword, its numbers and its fader designator.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "mixer/utilities/text/numbers.hpp"

namespace ostrand {

// The line without its line end: the newline and one carriage return before it.
std::string_view WithoutLineEnd(std::string_view rawLine);

// The fields of a line (without its line end): spaces deleted, split at
// tabs, empty fields skipped.
std::vector<std::string> LineFields(std::string_view line);

// The keywords that matter to the adjuster: the time-entry lines and "end".
enum class Keyword {
    kNone,
    kEnd,
    kTime,
    kInc,
    kLevel,
    kVca,
    kRamp,
    kOffset,
    kShape,
    kPan,
    kPolarity
};

// The first field of `fields` that is one of the keywords above, like the
// mixer's ordered pass finds it; `index` is its position (fields.size() for
// kNone).
Keyword FindKeyword(const std::vector<std::string>& fields, std::size_t& index);

// The field at `index`, or an empty one past the end.
std::string_view FieldAt(const std::vector<std::string>& fields, std::size_t index);

// Numbers are read with the mixer's own readers (a fractional number, and a
// base-10 integer held within the int range; 0 when there is none).
using varnel::ReadDecimal;
using varnel::ReadInteger;

// The slot a fader designator reaches, starting at fields[index]: a number,
// "M", or "G" and a number in the next field. `used` is the number of fields
// it takes. Numbers are resolved the mixer's way (128 to 135 are submixes,
// anything beyond lands on submix 8).
int DesignatorSlot(const std::vector<std::string>& fields, std::size_t index, std::size_t& used);

// The slot of a "vca" line's number.
int VcaSlot(std::string_view field);

}  // namespace ostrand
