// Saving the output text, with the overwrite question.
#pragma once

#include <string>

#include "adjuster/console.hpp"

namespace ostrand {

enum class SaveResult { kWritten, kCancelled, kFailed, kEndOfInput };

// Number of lines of an existing file that the adjuster would not write back:
// lines with a field whose first field is not "t", "v" or "rmp", not counting
// the line of the file's first word (the header). 0 when it cannot be read.
int CountDroppedLines(const std::string& path);

// Writes `text` to `fileName`. When the file exists, asks first and writes
// only when the answer is exactly "o"; when the old file holds lines the
// adjuster does not keep, says how many and keeps it as "<name>.bak". The text
// goes to a temporary file beside the target which is then renamed over it,
// so a failed save leaves the old file as it was.
SaveResult SaveFile(const std::string& fileName, const std::string& text, Console& console);

}  // namespace ostrand
