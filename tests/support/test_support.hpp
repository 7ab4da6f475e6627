// Helpers shared by the test suites: temporary session directories, running
// the built programs with scripted standard input, and small file utilities.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// A fresh, empty directory under the system temp dir, removed on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct RunResult {
    int status = -1;     // exit status, or -1 when the process did not exit normally
    std::string output;  // everything written to standard output
};

// Runs `program args...` inside `dir` with `input` on standard input
// (closed after it) and collects standard output.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& dir, const std::string& input = "");

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

// Little-endian WAV writer for building test tracks. `samples` are raw
// integers at the file's width (16 or 24 bit), interleaved.
void WriteWavPcm(const std::string& path, int rate, int channels, int bits,
                 const std::vector<int32_t>& samples);
// 32-bit float WAV (format tag 3), interleaved.
void WriteWavFloat(const std::string& path, int rate, int channels,
                   const std::vector<float>& samples);

// Decodes the sample frames of a canonical 44-byte-header PCM WAV file written
// by the mixer: returns interleaved integers at the file's width.
std::vector<int32_t> ReadWavSamples(const std::string& path, int* channels = nullptr,
                                    int* bits = nullptr, int* rate = nullptr);

// True when `tool` is on the PATH.
bool HaveTool(const std::string& tool);

}  // namespace testsupport
