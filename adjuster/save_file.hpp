// Saving the output text: onto regular files only, through symbolic links,
// with the overwrite question and a copy of the old file.
#pragma once

#include <string>
#include <sys/types.h>

#include "adjuster/console.hpp"

namespace ostrand {

enum class SaveResult { kWritten, kCancelled, kRefused, kFailed, kEndOfInput };

// Whether an existing file is replaced after asking or straight away.
enum class Overwrite { kAsk, kAllow };

// Where a save lands: a symbolic link is followed (link by link) to the file
// it points to, so the link itself survives the save.
struct SaveTarget {
    std::string path;  // the file written, after following links
    bool exists = false;
    bool regular = false;
    mode_t mode = 0;      // its permission bits, when it exists
    std::string problem;  // why it cannot be found out, when it cannot
};
SaveTarget ResolveSaveTarget(const std::string& name);

// Writes `bytes` to `path` through a temporary beside it that is unique to
// this process ("<path>.<pid>.tmp", created exclusively) and then renamed
// over `path`, so a failed or interrupted write leaves `path` as it was. The
// temporary takes `mode` when it is not 0. False with `error` set on failure;
// no temporary is left behind.
bool WriteReplacing(const std::string& path, const std::string& bytes, mode_t mode,
                    std::string& error);

// Saves `text` as `fileName`. A name that exists and is not a regular file
// (after following links) is refused and nothing changes. An existing file
// is replaced after the question (only the answer "o" overwrites) or, with
// Overwrite::kAllow, straight away; its old content is kept as
// "<fileName>.bak".
SaveResult SaveFile(const std::string& fileName, const std::string& text, Console& console,
                    Overwrite overwrite = Overwrite::kAsk);

}  // namespace ostrand
