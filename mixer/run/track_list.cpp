#include "mixer/run/track_list.hpp"

#include <cstdio>

namespace varnel {

int CountTracks(const std::string& path, char separator, int verbosity, TrackList& tracks) {
    if (LoadTextFile(path, tracks.file) != LoadResult::Ok) {
        std::puts("tracks.txt file was not found.");
        std::puts("Create the file and run again.");
        std::puts("Exiting...");
        return 2;
    }
    if (verbosity >= 2)
        PrintLineWarnings(tracks.file.content,
                          separator == '\t' ? WarningFile::TracksTab : WarningFile::TracksSpace);

    Tokenizer t{tracks.file.content, 0};
    std::string_view line;
    int count = 0;
    while (NextToken(t, kLineDelim, line)) {
        if (count > 0 && line == "end") break;
        ++count;
    }
    if (count > kMaxChannels) {
        std::printf("Warning: the track list has %i tracks; only the first %i are mixed.\n", count,
                    kMaxChannels);
        count = kMaxChannels;
    }
    tracks.count = count;
    if (verbosity == 2) {
        if (count == 1)
            std::puts("Counted 1 track");
        else
            std::printf("Counted %i tracks\n", count);
    }
    return 0;
}

void ParseTracks(TrackList& tracks, int mode, char separator) {
    std::string text = tracks.file.content;
    const char sep[2] = {separator, '\0'};
    RemoveExtraString(text, sep);
    for (int k = 0; k < kChannelTable; ++k) tracks.enabled[k] = tracks.solo[k] = 0;

    // The names list, one name a line, read back with the newline as the only
    // delimiter (so stray newlines picked up by a field vanish).
    std::string namesList;
    if (mode == 0) {
        for (int k = 1; k <= tracks.count; ++k) tracks.enabled[k] = 1;
        namesList = text;
    } else {
        Tokenizer t{text, 0};
        bool anySolo = false;
        for (int k = 1; k <= tracks.count; ++k) {
            std::string_view name, sw;
            if (!NextToken(t, sep, name)) break;
            if (mode == 2 && !NextToken(t, sep, name)) break;
            if (!NextToken(t, kLineDelim, sw)) sw = std::string_view();
            if (sw == "+") tracks.enabled[k] = 1;
            if (sw == "++") {
                tracks.solo[k] = 1;
                anySolo = true;
            }
            namesList.append(name);
            namesList += '\n';
        }
        if (anySolo)
            for (int k = 0; k <= tracks.count; ++k) tracks.enabled[k] = tracks.solo[k];
    }

    tracks.names.assign(size_t(tracks.count) + 1, std::string());
    tracks.storedNames.assign(size_t(tracks.count), std::string());
    Tokenizer n{namesList, 0};
    std::string_view name;
    for (int k = 1; k <= tracks.count && NextToken(n, kLineDelim, name); ++k) {
        if (name.size() > size_t(kMaxTrackNameChars)) {
            std::printf("Warning: the file name of channel %i is longer than %i characters; "
                        "the channel is not mixed.\n",
                        k, kMaxTrackNameChars);
            tracks.enabled[k] = 0;
            name = name.substr(0, size_t(kMaxTrackNameChars));
        }
        tracks.names[size_t(k)].assign(name);
        tracks.storedNames[size_t(k) - 1].assign(name);
    }
}

std::string TrackPath(const std::string& wavDir, bool wavDirSet, const std::string& name) {
    return wavDirSet ? wavDir + name : name;
}

}  // namespace varnel
