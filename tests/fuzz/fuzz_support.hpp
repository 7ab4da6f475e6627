// Shared plumbing of the fuzz targets: the readers under test take file
// names, so each input is written to a scratch file of this process first.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace fuzzsupport {

// Scratch path for this process; `tag` keeps two files of one input apart.
inline std::string ScratchPath(const char* tag) {
    return "/tmp/varnel-fuzz-" + std::to_string(long(getpid())) + "-" + tag;
}

// Writes the bytes to the scratch file `tag` and returns its path.
inline std::string WriteScratch(const char* tag, const uint8_t* data, size_t size) {
    std::string path = ScratchPath(tag);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        if (size > 0) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return path;
}

// The programs talk a lot on standard output; the fuzzer only needs stderr.
inline void SilenceStdout() {
    if (!std::freopen("/dev/null", "w", stdout)) std::perror("freopen");
}

}  // namespace fuzzsupport
