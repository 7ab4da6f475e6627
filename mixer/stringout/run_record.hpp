// The run record: what a mix was made from and how, so that it can be
// rebuilt and audited from its reports alone. Written at the end of the
// statistics file and in the JSON report.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace varnel {

struct RunRecordTrack {
    int channel = 0;
    std::string file;    // the path the track was read from
    bool mixed = false;  // false: switched off or left out
    int64_t bytes = -1;  // the file's size when it was mixed
};

struct RunRecord {
    std::string program;               // the version line
    std::time_t started = 0;           // wall-clock time of the run's start
    std::string trackList, faderFile, preferences;  // the three input files as given
    std::vector<RunRecordTrack> tracks;  // every line of the track list, in order
    std::string output;                // the mix (or preview) file written
    uint32_t seed = 0;                 // the dither's seed
    bool seedFromClock = true;         // false: the "seed" preference gave it
    std::vector<std::string> warnings;  // every warning of the run, one line each
};

// "YYYY-MM-DD HH:MM:SS UTC" and "YYYY-MM-DDTHH:MM:SSZ".
std::string UtcText(std::time_t t);
std::string UtcIso(std::time_t t);

// The record's lines for the statistics file, from an empty line and
// "Run record:" on.
std::string RunRecordLines(const RunRecord& r);

}  // namespace varnel
