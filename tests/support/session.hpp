// A small mix session in a temporary directory: the three text files, WAV
// tracks, and a run of the built mixer on it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace testsupport {

struct Session {
    TempDir dir;
    std::string tracks = "begin\nend\n";
    std::string faders = "begin\nmix\nt\t0\t0\t0\nv\t1\t0\nend\n";
    std::string prefs = "begin\ndither\t0\nverbo\t1\nend\n";

    // Adds a PCM track line "n name +" and writes its file.
    void AddPcm(const std::string& name, int channels, int bits, const std::vector<int32_t>& samples,
                int rate = 48000);
    void AddFloat(const std::string& name, int channels, const std::vector<float>& samples,
                  int rate = 48000);
    void AddLine(const std::string& line);
    RunResult Run(const std::vector<std::string>& args = {}, const std::string& input = "");
    std::string Path(const std::string& name) const { return dir.file(name); }

private:
    int count_ = 0;
    std::vector<std::string> lines_;
};

}  // namespace testsupport
