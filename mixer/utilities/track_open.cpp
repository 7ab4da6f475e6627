#include "mixer/utilities/track_open.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnel {

std::FILE* OpenTrackFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        std::printf("Cannot find file in track list called %s!!\n", path.c_str());
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) {
        ::close(fd);
        std::printf("%s is not a regular file and cannot be used\n", path.c_str());
        return nullptr;
    }
    // Reads of a regular file never wait anyway; the flag is dropped so the
    // stream behaves as one opened the ordinary way.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) {
        ::close(fd);
        std::printf("Cannot find file in track list called %s!!\n", path.c_str());
    }
    return f;
}

}  // namespace varnel
