#include "mixer/utilities/wav/track_open.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnel {

namespace {

std::FILE* Refused(std::string* why, const std::string& message) {
    if (why)
        *why = message;
    else
        std::fputs(message.c_str(), stdout);
    return nullptr;
}

}  // namespace

std::FILE* OpenTrackFile(const std::string& path, std::string* why) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Refused(why, "Cannot find file in track list called " + path + "!!\n");
    struct stat st;
    if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) {
        ::close(fd);
        return Refused(why, path + " is not a regular file and cannot be used\n");
    }
    // Reads of a regular file never wait anyway; the flag is dropped so the
    // stream behaves as one opened the ordinary way.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) {
        ::close(fd);
        return Refused(why, "Cannot find file in track list called " + path + "!!\n");
    }
    return f;
}

}  // namespace varnel
