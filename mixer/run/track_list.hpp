// The track list: one WAV file per channel, channel numbers by line position,
// with on, off and solo switches chosen by the layout mode.
#pragma once

#include <string>
#include <vector>

#include "mixer/utilities/limits.hpp"
#include "mixer/utilities/text_scan.hpp"

namespace varnel {

struct TrackList {
    TextFile file;
    int count = 0;
    std::vector<std::string> names;          // file name of channel k at index k (0 unused)
    int enabled[kChannelTable] = {};          // 1 = takes part in the mix
    int solo[kChannelTable] = {};
    std::vector<std::string> storedNames;    // names for the reports, channel 1 first
};

// Phase 3: loads and counts the list. Returns 0, or 2 after the not-found
// messages.
int CountTracks(const std::string& path, char separator, int verbosity, TrackList& tracks);

// Phase 6: names and switches for layout mode 0, 1 or 2.
void ParseTracks(TrackList& tracks, int mode, char separator);

// The path a channel's file is opened with: the WAV directory prefix (when
// set) glued to the file name.
std::string TrackPath(const std::string& wavDir, bool wavDirSet, const std::string& name);

}  // namespace varnel
