#include "mixer/utilities/output_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "mixer/utilities/wav_writer.hpp"

namespace varnel {

namespace {

// The temporary files that exist right now. A fatal error later in the run
// (a bad time entry, a reverb geometry error) ends the process with
// std::exit from deep inside the fader-file code, which knows nothing of the
// output files; the exit handler below removes them so no half-written file
// is left behind. This is the only process-wide state of the mixer: std::exit
// offers no other way to reach the callers' structs. It is created once and
// never destroyed, so it is still there when the handler runs.
struct LiveTempFiles {
    std::vector<std::string> paths;
    bool handlerInstalled = false;
};

LiveTempFiles& Live() {
    static LiveTempFiles* live = new LiveTempFiles;
    return *live;
}

void RemoveLiveTempFiles() {
    for (const std::string& p : Live().paths) std::remove(p.c_str());
    Live().paths.clear();
}

void Track(const std::string& path) {
    LiveTempFiles& live = Live();
    if (!live.handlerInstalled) {
        std::atexit(RemoveLiveTempFiles);
        live.handlerInstalled = true;
    }
    live.paths.push_back(path);
}

void Untrack(const std::string& path) {
    auto& paths = Live().paths;
    paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
}

bool Fail(OutputFile& out, const char* what, int err) {
    std::printf("%s %s (%s)\n", what, out.finalPath.c_str(), std::strerror(err));
    out.failed = true;
    return false;
}

// Closes the stream and removes the temporary file, whatever state they are in.
void Abandon(OutputFile& out) {
    if (out.file) std::fclose(out.file);
    out.file = nullptr;
    if (!out.tempPath.empty()) {
        std::remove(out.tempPath.c_str());
        Untrack(out.tempPath);
    }
}

// Creates a fresh temporary file next to the target: "<target>.tmp", or with
// a number after it when a file of that name is already there.
bool CreateTempTwin(OutputFile& out, int& err) {
    constexpr int kTries = 100;
    for (int k = 0; k < kTries; ++k) {
        std::string name = out.finalPath + ".tmp" + (k ? std::to_string(k) : "");
        std::FILE* f = std::fopen(name.c_str(), "wbx");
        if (f) {
            std::fclose(f);
            out.tempPath = name;
            Track(name);
            return true;
        }
        if (errno != EEXIST) break;
    }
    err = errno;
    return false;
}

}  // namespace

bool CreateOutputFile(OutputFile& out, const std::string& path, uint32_t sampleRate, int bits,
                      int channels, int64_t frames, bool forceRf64) {
    out.finalPath = path;
    out.tempPath.clear();
    out.file = nullptr;
    out.failed = false;
    const char* kCreate = "Cannot create audio file";

    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    bool exists = !ec && std::filesystem::exists(status);
    if (exists && std::filesystem::is_directory(status)) return Fail(out, kCreate, EISDIR);
    // A device or pipe is written in place: renaming over it would replace
    // the device node instead of writing to it.
    bool inPlace = exists && !std::filesystem::is_regular_file(status);

    int err = 0;
    if (!inPlace && !CreateTempTwin(out, err)) return Fail(out, kCreate, err);
    const std::string& target = inPlace ? out.finalPath : out.tempPath;
    out.file = std::fopen(target.c_str(), inPlace ? "wb" : "ab");
    if (!out.file) {
        err = errno;
        Abandon(out);
        return Fail(out, kCreate, err);
    }
    out.buffer.resize(kOutputBufferBytes);
    std::setvbuf(out.file, out.buffer.data(), _IOFBF, out.buffer.size());

    const std::vector<uint8_t> header = OutputWavHeader(sampleRate, bits, channels, frames, forceRf64);
    return AppendOutputBytes(out, header.data(), header.size());
}

bool AppendOutputBytes(OutputFile& out, const uint8_t* bytes, size_t count) {
    if (out.failed || !out.file) return false;
    if (std::fwrite(bytes, 1, count, out.file) != count) {
        int err = errno;
        Abandon(out);
        return Fail(out, "Error writing audio file", err);
    }
    return true;
}

bool FinishOutputFile(OutputFile& out) {
    if (out.failed || !out.file) return false;
    errno = 0;
    bool ok = std::fflush(out.file) == 0 && !std::ferror(out.file);
    int err = errno;
    int closed = std::fclose(out.file);
    out.file = nullptr;
    if (ok && closed != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        Abandon(out);
        return Fail(out, "Error closing audio file", err ? err : EIO);
    }
    if (!out.tempPath.empty()) {
        if (std::rename(out.tempPath.c_str(), out.finalPath.c_str()) != 0) {
            err = errno;
            Abandon(out);
            return Fail(out, "Cannot put finished audio file in place as", err);
        }
        Untrack(out.tempPath);
        out.tempPath.clear();
    }
    out.buffer = std::vector<char>();
    return true;
}

void DiscardOutputFile(OutputFile& out) {
    Abandon(out);
    out.tempPath.clear();
    out.buffer = std::vector<char>();
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    bool same = std::filesystem::equivalent(a, b, ec);
    return !ec && same;
}

}  // namespace varnel
