// Opening a track for reading without ever waiting: a named pipe with no
// writer would hold an ordinary open forever, so the file is opened without
// blocking and used only when it is a regular file (or a block device).
#pragma once

#include <cstdio>
#include <string>

namespace varnel {

// The open stream, or null after printing why the track cannot be read:
// "Cannot find file in track list called <path>!!" when it cannot be opened,
// "<path> is not a regular file and cannot be used" when it is a directory,
// a pipe, a socket or a character device. With `why`, the message (with its
// newline) goes there instead of being printed.
std::FILE* OpenTrackFile(const std::string& path, std::string* why = nullptr);

}  // namespace varnel
