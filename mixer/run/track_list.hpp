// The track list: one WAV file per channel, channel numbers by line position,
// with on, off and solo switches chosen by the layout mode.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "mixer/utilities/limits.hpp"
#include "mixer/utilities/text/text_scan.hpp"

namespace varnel {

struct TrackList {
    TextFile file;
    Diagnostics* diag = nullptr;  // the run's record; nullptr: messages printed only
    bool show = true;             // the verbosity lets the line warnings print
    int count = 0;
    std::vector<std::string> names;          // file name of channel k at index k (0 unused)
    int enabled[kChannelTable] = {};          // 1 = takes part in the mix
    int solo[kChannelTable] = {};
    std::vector<std::string> storedNames;    // names for the reports, channel 1 first
    std::array<int, kChannelTable> line{};   // the file's line of each channel
    std::vector<std::string> switches;       // switch of channel k as written (index k)
    std::vector<std::string> reason;         // why channel k is not mixed, "" when it is
};

// Phase 3: loads and counts the list. Returns 0, or 2 after the not-found
// messages. Warnings go to `diag` when given.
int CountTracks(const std::string& path, char separator, int verbosity, TrackList& tracks,
                Diagnostics* diag = nullptr);

// Phase 6: names and switches for layout mode 0, 1 or 2. The fields of a
// track line end at its line end; a line with the wrong number of fields or a
// switch other than "+", "++" and "-" is warned about.
void ParseTracks(TrackList& tracks, int mode, char separator);

// The path a channel's file is opened with: the WAV directory prefix (when
// set) glued to the file name.
std::string TrackPath(const std::string& wavDir, bool wavDirSet, const std::string& name);

}  // namespace varnel
