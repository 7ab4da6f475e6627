#include "adjuster/save_file.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "adjuster/fader_model.hpp"
#include "adjuster/temporary_cleanup.hpp"

namespace ostrand {

namespace {

constexpr int kMostLinks = 40;
constexpr int kMostTemporaryNames = 100;

std::string TemporaryName(const std::string& path, int attempt) {
    std::string name = path;
    name.append(".").append(std::to_string(getpid()));
    if (attempt > 0) name.append("-").append(std::to_string(attempt));
    return name.append(".tmp");
}

// Creates a fresh temporary for `path`; -1 with `name` and `error` set when
// none can be created.
int CreateTemporary(const std::string& path, std::string& name, std::string& error) {
    for (int attempt = 0; attempt < kMostTemporaryNames; ++attempt) {
        name = TemporaryName(path, attempt);
        if (!SetPendingTemporary(name)) {
            error = "Cannot create the temporary file " + name + " (its name is too long)";
            return -1;
        }
        int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        int saved = errno;
        ClearPendingTemporary();
        if (saved != EEXIST) {
            error = "Cannot create the temporary file " + name + " (" + std::strerror(saved) + ")";
            return -1;
        }
    }
    error = "Cannot create the temporary file " + name + " (" + std::strerror(EEXIST) + ")";
    return -1;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadWhole(const std::string& path, std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    bytes.clear();
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

// A target that cannot take a save: the message, or empty when it can.
std::string Unusable(const SaveTarget& target) {
    if (!target.problem.empty()) return target.problem;
    if (target.exists && !target.regular) return "it is not a regular file";
    return std::string();
}

}  // namespace

SaveTarget ResolveSaveTarget(const std::string& name) {
    SaveTarget target;
    std::string path = name;
    for (int hops = 0; hops <= kMostLinks; ++hops) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) {
            target.path = path;
            if (errno != ENOENT) target.problem = std::strerror(errno);
            return target;
        }
        if (!S_ISLNK(st.st_mode)) {
            target.path = path;
            target.exists = true;
            target.regular = S_ISREG(st.st_mode);
            target.mode = st.st_mode & 07777;
            return target;
        }
        std::vector<char> link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        ssize_t length = readlink(path.c_str(), link.data(), link.size());
        if (length < 0 || static_cast<std::size_t>(length) >= link.size()) {
            target.problem = "its symbolic link cannot be read";
            return target;
        }
        std::filesystem::path pointed(std::string(link.data(), static_cast<std::size_t>(length)));
        if (pointed.is_relative()) pointed = std::filesystem::path(path).parent_path() / pointed;
        path = pointed.string();
    }
    target.problem = "its symbolic links lead too far";
    return target;
}

bool WriteReplacing(const std::string& path, const std::string& bytes, mode_t mode,
                    std::string& error) {
    std::string tempName;
    int fd = CreateTemporary(path, tempName, error);
    if (fd < 0) return false;
    bool ok = (mode == 0 || fchmod(fd, mode) == 0) && WriteAll(fd, bytes);
    int saved = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && std::rename(tempName.c_str(), path.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        unlink(tempName.c_str());
        error = "Could not write " + path + " (" + std::strerror(saved) + ")";
    }
    ClearPendingTemporary();
    return ok;
}

SaveResult SaveFile(const std::string& fileName, const std::string& text, Console& console,
                    Overwrite overwrite) {
    SaveTarget target = ResolveSaveTarget(fileName);
    std::string why = Unusable(target);
    if (!why.empty()) {
        std::fprintf(console.out, "Cannot save to %s: %s; nothing was changed\n", fileName.c_str(),
                     why.c_str());
        return SaveResult::kRefused;
    }
    std::string backupName = fileName + ".bak";
    if (target.exists && overwrite == Overwrite::kAsk) {
        std::fprintf(console.out,
                     "The file already exists!\nThe old file will be kept as %s\n"
                     "Type 'o' to overwrite or any other key to cancel\n",
                     backupName.c_str());
        std::string answer;
        Answer got = ReadWord(console, answer, kMaxCommandLength);
        if (got == Answer::kEnd) return SaveResult::kEndOfInput;
        if (got != Answer::kValue || answer != "o") return SaveResult::kCancelled;
    }
    std::string error;
    if (target.exists) {
        SaveTarget backup = ResolveSaveTarget(backupName);
        std::string old;
        why = Unusable(backup);
        if (!why.empty()) {
            std::fprintf(console.out, "Cannot keep the old file as %s: %s; nothing was changed\n",
                         backupName.c_str(), why.c_str());
            return SaveResult::kRefused;
        }
        if (!ReadWhole(target.path, old) || !WriteReplacing(backup.path, old, target.mode, error)) {
            if (error.empty()) error = "Could not read " + target.path;
            std::fprintf(console.out, "%s; nothing was changed\n", error.c_str());
            return SaveResult::kFailed;
        }
        if (overwrite == Overwrite::kAllow)
            std::fprintf(console.out, "The old file is kept as %s\n", backupName.c_str());
    }
    if (!WriteReplacing(target.path, text, target.exists ? target.mode : 0, error)) {
        std::fprintf(console.out, "%s; the file was not changed\n", error.c_str());
        return SaveResult::kFailed;
    }
    std::fputs("Write complete\n", console.out);
    return SaveResult::kWritten;
}

}  // namespace ostrand
