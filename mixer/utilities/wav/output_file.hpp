// The stream of one audio output (the mix, the preview or the tap file): a
// header, then the sample bytes block by block, through one large buffer.
// Where the bytes land (a temporary file of the run, or a device written in
// place) is decided by the caller, which hands over an open descriptor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace varnel {

struct OutputFile {
    std::string name;          // the file's final name, for messages
    std::FILE* file = nullptr;
    bool failed = false;       // a write or the close failed
    std::vector<char> buffer;  // the stream's full buffer; must outlive the stream
};

// Stream buffer size: several blocks of output, so a block costs no system call.
constexpr size_t kOutputBufferBytes = size_t(8) << 20;

// Takes over the open descriptor `fd`, gives it the large buffer and writes
// the header: the 44-byte one, or the RF64 one when the data would not fit it
// (or `forceRf64` asks for it). `name` is the name messages give the file.
// On failure prints the reason and returns false (the descriptor is closed).
bool StartOutputFile(OutputFile& out, int fd, const std::string& name, uint32_t sampleRate,
                     int bits, int channels, int64_t frames, bool forceRf64 = false);

// Appends encoded sample bytes; a failed write prints its message and
// returns false. A failed file takes no more bytes.
bool AppendOutputBytes(OutputFile& out, const uint8_t* bytes, size_t count);

// Flushes and closes the stream. Any failure prints "Error closing audio
// file <name> (<reason>)" and returns false.
bool CloseOutputFile(OutputFile& out);

// Closes the stream without caring for its bytes (the run is abandoned).
void DropOutputFile(OutputFile& out);

}  // namespace varnel
