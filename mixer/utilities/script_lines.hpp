// Reading the arguments of fader-file lines: fader designators, line numbers
// for messages and the value readers shared by the keyword passes.
#pragma once

#include <string_view>

#include "mixer/utilities/text_scan.hpp"

namespace varnel {

// A slot above 135 (or negative) becomes 135, with a message.
void checkValI(int& slot);

// Reads a fader designator: a number, "M" (the master) or "G" and a submix
// number. Sets isMaster for "M". Returns false when the text has ended.
bool ReadFaderDesignator(Tokenizer& t, int& slot, bool& isMaster);

// Line number of a position in the script body; line 1 is the rest of the
// "begin" line, as in the line warnings.
int LineOfPosition(std::string_view content, size_t pos);

// Value readers; false when the text has ended (the line then sets nothing).
bool ReadDecimalValue(Tokenizer& t, const char* delims, double& out);
bool ReadIntegerValue(Tokenizer& t, const char* delims, int& out);

}  // namespace varnel
