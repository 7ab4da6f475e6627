#include "adjuster/save_file.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "adjuster/fader_model.hpp"

namespace ostrand {

namespace {

bool IsKeptKeyword(const std::string& field) {
    return field == "t" || field == "v" || field == "rmp";
}

bool Exists(const std::string& path) {
    std::error_code error;
    if (std::filesystem::exists(path, error)) return true;
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

// Opens a fresh temporary file beside `target`; never reuses an existing one.
std::FILE* OpenTemporary(const std::string& target, std::string& tempName) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = target + ".tmp";
        if (attempt > 0) tempName += std::to_string(attempt);
        std::FILE* file = std::fopen(tempName.c_str(), "wx");
        if (file != nullptr) return file;
        if (errno != EEXIST) return nullptr;
    }
    return nullptr;
}

bool WriteReplacing(const std::string& fileName, const std::string& text, std::FILE* out) {
    std::string tempName;
    std::FILE* file = OpenTemporary(fileName, tempName);
    if (file == nullptr) {
        std::fprintf(out, "Could not open %s for writing\n", fileName.c_str());
        return false;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    ok = std::fflush(file) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    ok = ok && std::rename(tempName.c_str(), fileName.c_str()) == 0;
    if (!ok) {
        std::remove(tempName.c_str());
        std::fprintf(out, "Could not write %s; the file was not changed\n", fileName.c_str());
    }
    return ok;
}

}  // namespace

int CountDroppedLines(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return 0;
    int dropped = 0;
    bool headerSeen = false;
    bool atLineStart = true;  // still before the line's first field
    bool inFirstField = false;
    std::string field;
    auto endFirstField = [&]() {
        inFirstField = false;
        if (!headerSeen)
            headerSeen = true;
        else if (!IsKeptKeyword(field))
            ++dropped;
    };
    int c;
    while ((c = std::getc(file)) != EOF) {
        if (c == '\n') {
            if (inFirstField) endFirstField();
            atLineStart = true;
        } else if (c == '\t') {
            if (inFirstField) endFirstField();
        } else if (atLineStart) {
            atLineStart = false;
            inFirstField = true;
            field.assign(1, static_cast<char>(c));
        } else if (inFirstField) {
            field += static_cast<char>(c);
        }
    }
    if (inFirstField) endFirstField();
    std::fclose(file);
    return dropped;
}

SaveResult SaveFile(const std::string& fileName, const std::string& text, Console& console) {
    std::string backupName;
    if (Exists(fileName)) {
        int dropped = CountDroppedLines(fileName);
        std::fputs("The file already exists!\n", console.out);
        if (dropped > 0) {
            backupName = fileName + ".bak";
            std::fprintf(console.out,
                         "It holds %i line%s that this program does not keep (pans, routing, "
                         "effects, ...); the old file will be kept as %s\n",
                         dropped, dropped == 1 ? "" : "s", backupName.c_str());
        }
        std::fputs("Type 'o' to overwrite or any other key to cancel\n", console.out);
        std::string answer;
        Answer got = ReadWord(console, answer, kMaxCommandLength);
        if (got == Answer::kEnd) return SaveResult::kEndOfInput;
        if (got != Answer::kValue || answer != "o") return SaveResult::kCancelled;
    }
    if (!backupName.empty()) {
        std::error_code error;
        std::filesystem::copy_file(fileName, backupName,
                                   std::filesystem::copy_options::overwrite_existing, error);
        if (error) {
            std::fprintf(console.out, "Could not keep a copy as %s; the file was not changed\n",
                         backupName.c_str());
            return SaveResult::kFailed;
        }
    }
    if (!WriteReplacing(fileName, text, console.out)) return SaveResult::kFailed;
    std::fputs("Write complete\n", console.out);
    return SaveResult::kWritten;
}

}  // namespace ostrand
