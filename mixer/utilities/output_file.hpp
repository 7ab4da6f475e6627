// Safe writing of the mix, preview and tap files: the file is built under a
// temporary name next to its target and renamed over the target only when it
// is complete, so a failed or interrupted run never leaves a half-written mix
// in place of a good one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace varnel {

struct OutputFile {
    std::string finalPath;     // the name the caller asked for
    std::string tempPath;      // where the bytes go until FinishOutputFile; empty when
                               // the target is a device written in place
    std::FILE* file = nullptr;
    bool failed = false;       // a create, write or finish step failed
    std::vector<char> buffer;  // the stream's full buffer; must outlive the stream
};

// Stream buffer size: several blocks of output, so a block costs no system call.
constexpr size_t kOutputBufferBytes = size_t(8) << 20;

// Creates the file's temporary twin (or opens a device target directly),
// gives it the large buffer and writes the header: the 44-byte one, or the
// RF64 one when the data would not fit it (or `forceRf64` asks for it). On
// failure prints the reason naming `path` and returns false; the caller ends
// the run with status 2.
bool CreateOutputFile(OutputFile& out, const std::string& path, uint32_t sampleRate, int bits,
                      int channels, int64_t frames, bool forceRf64 = false);

// Appends encoded sample bytes; a failed write prints its message and
// returns false.
bool AppendOutputBytes(OutputFile& out, const uint8_t* bytes, size_t count);

// Flushes and closes the stream and moves the finished file over the target.
// Any failure prints its message, removes the temporary file and returns false.
bool FinishOutputFile(OutputFile& out);

// Abandons the file: closes the stream and removes the temporary file, so
// an existing target stays as it was.
void DiscardOutputFile(OutputFile& out);

// True when both paths exist and name the same file (same device and inode).
bool SameFile(const std::string& a, const std::string& b);

}  // namespace varnel
