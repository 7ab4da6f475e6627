#include "mixer/run/track_list.hpp"

#include <cstdio>

#include "mixer/utilities/text/line_checks.hpp"

namespace varnel {

namespace {

ScanText TracksText(const TrackList& tracks) { return ScanOf(tracks.file, tracks.diag, tracks.show); }

// The non-empty lines of the content, as the list counts them.
std::vector<std::string_view> TrackLines(std::string_view content) {
    std::vector<std::string_view> lines;
    Tokenizer t{content, 0};
    std::string_view line;
    while (NextToken(t, kLineDelim, line)) lines.push_back(line);
    return lines;
}

int FieldCount(std::string_view line, const char* sep) {
    Tokenizer t{line, 0};
    std::string_view f;
    int n = 0;
    while (NextToken(t, sep, f)) ++n;
    return n;
}

std::string Fields(int n) { return std::to_string(n) + (n == 1 ? " field" : " fields"); }

}  // namespace

int CountTracks(const std::string& path, char separator, int verbosity, TrackList& tracks,
                Diagnostics* diag) {
    tracks.diag = diag;
    tracks.show = verbosity >= 2;
    if (LoadTextFile(path, tracks.file) != LoadResult::Ok) {
        std::printf("%s file was not found.\n", path.c_str());
        std::puts("Create the file and run again.");
        std::puts("Exiting...");
        return 2;
    }
    const ScanText src = TracksText(tracks);
    CrLfWarning(src, tracks.file);
    PrintLineWarnings(src, separator == '\t' ? WarningFile::TracksTab : WarningFile::TracksSpace);

    const auto lines = TrackLines(tracks.file.content);
    int count = 0;
    for (std::string_view line : lines) {
        if (count > 0 && line == "end") break;
        ++count;
    }
    if (count > kMaxChannels) {
        const size_t first = size_t(lines[size_t(kMaxChannels)].data() - src.content.data());
        LineWarning(src, LineAt(src, first),
                    "the track list has " + std::to_string(count) + " tracks; only the first " +
                        std::to_string(kMaxChannels) + " are mixed.",
                    true);
        count = kMaxChannels;
    }
    tracks.count = count;
    for (int k = 1; k <= count; ++k)
        tracks.line[size_t(k)] =
            LineAt(src, size_t(lines[size_t(k) - 1].data() - src.content.data()));
    if (verbosity == 2) {
        if (count == 1)
            std::puts("Counted 1 track");
        else
            std::printf("Counted %i tracks\n", count);
    }
    return 0;
}

void ParseTracks(TrackList& tracks, int mode, char separator) {
    const ScanText src = TracksText(tracks);
    std::string text = tracks.file.content;
    const char sep[2] = {separator, '\0'};
    RemoveExtraString(text, sep);
    for (int k = 0; k < kChannelTable; ++k) tracks.enabled[k] = tracks.solo[k] = 0;
    const size_t n = size_t(tracks.count) + 1;
    tracks.names.assign(n, std::string());
    tracks.switches.assign(n, std::string());
    tracks.reason.assign(n, std::string());
    tracks.storedNames.assign(size_t(tracks.count), std::string());

    // Each line on its own: a field never runs on into the next line.
    const auto lines = TrackLines(text);
    const int needs = mode == 2 ? 3 : 2;
    bool anySolo = false;
    for (int k = 1; k <= tracks.count && size_t(k) <= lines.size(); ++k) {
        const std::string_view line = lines[size_t(k) - 1];
        const int lineNo = tracks.line[size_t(k)];
        std::string_view name = line, sw;
        if (mode == 0) {
            tracks.enabled[k] = 1;
        } else {
            Tokenizer t{line, 0};
            NextToken(t, sep, name);
            if (mode == 2 && !NextToken(t, sep, name)) name = std::string_view();
            if (!NextToken(t, kLineDelim, sw)) sw = std::string_view();
            tracks.switches[size_t(k)].assign(sw);
            const int has = FieldCount(line, sep);
            if (has != needs) {
                LineWarning(src, lineNo,
                            "the line has " + Fields(has) + " and needs " + std::to_string(needs) +
                                "; the track is not mixed.");
                tracks.reason[size_t(k)] =
                    "its line has " + Fields(has) + " and needs " + std::to_string(needs);
            } else if (sw == "-") {
                tracks.reason[size_t(k)] = "switched off (-)";
            } else if (sw != "+" && sw != "++") {
                LineWarning(src, lineNo,
                            QuoteField(sw) + " is not a switch (+, ++ or -); the track is not mixed.");
                tracks.reason[size_t(k)] = "its switch " + QuoteField(sw) + " is none of +, ++ and -";
            }
            if (sw == "+") tracks.enabled[k] = 1;
            if (sw == "++") {
                tracks.solo[k] = 1;
                anySolo = true;
            }
        }
        if (name.size() > size_t(kMaxTrackNameChars)) {
            LineWarning(src, lineNo,
                        "the file name of channel " + std::to_string(k) + " is longer than " +
                            std::to_string(kMaxTrackNameChars) +
                            " characters; the channel is not mixed.",
                        true);
            tracks.enabled[k] = 0;
            tracks.solo[k] = 0;
            tracks.reason[size_t(k)] = "its file name is too long";
            name = name.substr(0, size_t(kMaxTrackNameChars));
        }
        tracks.names[size_t(k)].assign(name);
        tracks.storedNames[size_t(k) - 1].assign(name);
    }
    if (anySolo)
        for (int k = 0; k <= tracks.count; ++k) {
            if (k > 0 && tracks.enabled[k] && !tracks.solo[k])
                tracks.reason[size_t(k)] = "another channel is soloed";
            tracks.enabled[k] = tracks.solo[k];
        }
}

std::string TrackPath(const std::string& wavDir, bool wavDirSet, const std::string& name) {
    return wavDirSet ? wavDir + name : name;
}

}  // namespace varnel
