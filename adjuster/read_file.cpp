#include <cstdio>

#include "adjuster/parsing.hpp"

namespace ostrand {

ReadStatus ReadFile(const std::string& path, std::string& text, std::FILE* out) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        std::fprintf(out, "File %s not found\n", path.c_str());
        return ReadStatus::kNotFound;
    }
    // Read in chunks rather than trusting a seek, so pipes work too, and stop
    // as soon as the file is known to be too large.
    text.clear();
    char chunk[65536];
    std::size_t got;
    bool tooLarge = false;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        if (text.size() + got > kMaxFileSize) {
            tooLarge = true;
            break;
        }
        text.append(chunk, got);
    }
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (tooLarge) {
        std::fprintf(out, "File %s is larger than 16 MiB (%zu bytes) and cannot be loaded\n",
                     path.c_str(), kMaxFileSize);
        return ReadStatus::kTooLarge;
    }
    if (failed) {
        std::fprintf(out, "File %s could not be read\n", path.c_str());
        return ReadStatus::kReadError;
    }
    return ReadStatus::kRead;
}

}  // namespace ostrand
