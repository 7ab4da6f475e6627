#include "mixer/utilities/wav/output_file.hpp"

#include <cerrno>
#include <cstring>
#include <stdio_ext.h>
#include <unistd.h>

#include "mixer/utilities/wav/wav_writer.hpp"

namespace varnel {

namespace {

bool Fail(OutputFile& out, const char* what, int err) {
    std::printf("%s %s (%s)\n", what, out.name.c_str(), std::strerror(err));
    out.failed = true;
    return false;
}

}  // namespace

bool StartOutputFile(OutputFile& out, int fd, const std::string& name, uint32_t sampleRate,
                     int bits, int channels, int64_t frames, bool forceRf64) {
    out.name = name;
    out.failed = false;
    out.file = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
    if (!out.file) {
        const int err = fd >= 0 ? errno : EBADF;
        if (fd >= 0) ::close(fd);
        return Fail(out, "Cannot create audio file", err);
    }
    out.buffer.resize(kOutputBufferBytes);
    std::setvbuf(out.file, out.buffer.data(), _IOFBF, out.buffer.size());
    const std::vector<uint8_t> header = OutputWavHeader(sampleRate, bits, channels, frames, forceRf64);
    return AppendOutputBytes(out, header.data(), header.size());
}

bool AppendOutputBytes(OutputFile& out, const uint8_t* bytes, size_t count) {
    if (out.failed || !out.file) return false;
    if (std::fwrite(bytes, 1, count, out.file) != count) {
        const int err = errno;
        DropOutputFile(out);
        return Fail(out, "Error writing audio file", err);
    }
    return true;
}

bool CloseOutputFile(OutputFile& out) {
    if (out.failed || !out.file) return false;
    errno = 0;
    bool ok = std::fflush(out.file) == 0 && !std::ferror(out.file);
    int err = errno;
    const int closed = std::fclose(out.file);
    out.file = nullptr;
    if (ok && closed != 0) {
        ok = false;
        err = errno;
    }
    out.buffer = std::vector<char>();
    if (!ok) return Fail(out, "Error closing audio file", err ? err : EIO);
    return true;
}

void DropOutputFile(OutputFile& out) {
    if (out.file) {
        __fpurge(out.file);  // the bytes are not wanted: do not write them on the way out
        std::fclose(out.file);
    }
    out.file = nullptr;
    out.buffer = std::vector<char>();
}

}  // namespace varnel
