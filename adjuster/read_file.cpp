#include <cstdio>

#include "adjuster/parsing.hpp"

namespace ostrand {

ReadStatus ReadFile(const std::string& path, std::vector<char>& text, std::FILE* out) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) {
        std::fprintf(out, "File %s not found\n", path.c_str());
        return ReadStatus::kNotFound;
    }
    // Read in chunks rather than trusting a seek, so pipes work too, and stop
    // as soon as the text could not hold the file.
    text.clear();
    char chunk[4096];
    std::size_t got;
    bool tooLarge = false;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        if (text.size() + got > kTextCapacity - 1) {
            tooLarge = true;
            break;
        }
        text.insert(text.end(), chunk, chunk + got);
    }
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    text.push_back('\0');
    if (tooLarge) {
        std::fprintf(out, "File %s is larger than %zu bytes and cannot be loaded\n", path.c_str(),
                     kTextCapacity - 1);
        return ReadStatus::kTooLarge;
    }
    if (failed) {
        std::fprintf(out, "File %s could not be read\n", path.c_str());
        return ReadStatus::kReadError;
    }
    return ReadStatus::kRead;
}

}  // namespace ostrand
