// A small mix session in a temporary directory: the three text files, WAV
// tracks, and a run of the built mixer on it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace testsupport {

// A report or console text without the lines that differ from run to run or
// between thread counts: the processing time and the count of threads used
// (of the report, its JSON form, and of --check), and the date and the
// dither's seed of the run record (in the statistics file and the JSON report).
std::string Steady(const std::string& text);

struct Session {
    TempDir dir;
    std::string tracks = "begin\nend\n";
    std::string faders = "begin\nmix\nt\t0\t0\t0\nv\t1\t0\nend\n";
    std::string prefs = "begin\ndither\t0\nverbo\t1\nend\n";
    // Run runs a repeatable session (dither 0, no launch command, no
    // "threads" line) a second time with "threads 3" and expects the same
    // files, messages and status.
    bool crossCheckThreads = true;

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
