#include "mixer/run/prefs.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "mixer/utilities/limits.hpp"
#include "mixer/utilities/numbers.hpp"
#include "mixer/utilities/start_offsets.hpp"

namespace varnel {

namespace {

constexpr const char* kBanner =
    "Varnel version 1.164 (w20e) - offline multitrack mixer\n"
    "Mixes from text: tracks, faders, preferences.\n";

// Creates "prefs.txt" only where no file of that name exists, so a mistyped
// name on the command line never costs the user a real preferences file.
bool CreateDefaultPrefs(TextFile& out) {
    int fd = ::open("prefs.txt", O_RDWR | O_CREAT | O_EXCL, 0644);
    if (fd < 0) return false;
    std::FILE* f = ::fdopen(fd, "w+");
    if (!f) {
        ::close(fd);
        return false;
    }
    bool ok = std::fputs(kDefaultPrefsText, f) >= 0 && std::fflush(f) == 0;
    if (ok) LoadTextStream(f, out);
    std::fclose(f);
    return ok;
}

void UseDefaultText(TextFile& out) {
    out.whole = kDefaultPrefsText;
    out.content = ContentAfterBegin(out.whole);
}

// A directory prefix from the rest of the keyword's line (last hit wins).
void ReadPrefix(const std::string& content, const char* keyword, bool& set, std::string& value) {
    ScanKeyword(content, keyword, [&](Tokenizer& t) {
        std::string_view v;
        if (!NextToken(t, kLineDelim, v)) return true;
        if (v.size() > size_t(kMaxPathChars)) {
            std::printf("Warning: the \"%s\" setting is longer than %i characters and is ignored.\n",
                        keyword, kMaxPathChars);
            return true;
        }
        value.assign(v);
        set = true;
        return true;
    });
}

// Rest-of-line integer field count: 1, 2 or 3, anything else 3 (last hit wins).
void ReadFieldCount(const std::string& content, const char* keyword, int& fields) {
    ScanKeyword(content, keyword, [&](Tokenizer& t) {
        std::string_view v;
        if (!NextToken(t, kLineDelim, v)) return true;
        int n = ReadInteger(v);
        fields = (n >= 1 && n <= 3) ? n : 3;
        return true;
    });
}

// Window positions are held to +-2^61 samples before the window arithmetic
// adds and subtracts them: far beyond any length a WAV file can hold, so
// every outcome stays the same, but no sum of them can overflow.
constexpr int64_t kWindowPositionLimit = int64_t(1) << 61;
int64_t WindowPosition(int64_t samples) {
    return std::clamp(samples, -kWindowPositionLimit, kWindowPositionLimit);
}

// A position as minutes, seconds and milliseconds ("1:05.250"), truncated.
std::string ClockText(int64_t samples, double rate) {
    const double ms = rate > 0.0 ? std::floor(double(samples) * 1000.0 / rate) : 0.0;
    const long long total = ms < 9.0e18 ? (long long)ms : 9000000000000000000LL;
    char text[64];
    std::snprintf(text, sizeof text, "%lld:%02lld.%03lld", total / 60000, total / 1000 % 60,
                  total % 1000);
    return text;
}

// A window never runs past the song: what lies beyond is silence no track
// holds, and a long enough window would fill the disk with it.
void CutAtSongEnd(int64_t songLength, double rate, MixWindow& window) {
    if (window.length <= songLength - window.start) return;
    window.length = songLength - window.start;
    std::printf("Warning: the mix window ends past the song's end; it is cut at %s.\n",
                ClockText(songLength, rate).c_str());
}

// The preview length in samples. A field that holds no number ("nan", a
// word) gives -1, which the window check refuses: it is never taken as an
// empty window. An infinite length runs to the song's end.
int64_t PreviewLength(std::string_view field, double rate) {
    const std::string text(field);
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || std::isnan(seconds)) return -1;
    if (std::isinf(seconds)) return seconds > 0.0 ? INT64_MAX : -1;
    return TruncToInt64(ReadDecimal(field) * rate);
}

int64_t SecondsToSamples(std::string_view field, double rate) {
    float seconds = float(ReadDecimal(field));
    return TruncToInt64(double(seconds) * rate);
}

}  // namespace

int64_t ReadTimeFields(Tokenizer& t, int fields, double rate) {
    // Slots: minutes, seconds, milliseconds; which ones a line carries
    // depends on the field count.
    static constexpr int kSlotsFor[4][3] = {{1, -1, -1}, {1, -1, -1}, {0, 1, -1}, {0, 1, 2}};
    double part[3] = {0.0, 0.0, 0.0};
    if (fields < 1 || fields > 3) fields = 3;
    for (int i = 0; i < fields; ++i) {
        std::string_view v;
        if (!NextToken(t, i == fields - 1 ? kLineDelim : kTabDelim, v)) break;
        part[kSlotsFor[fields][i]] = ReadDecimal(v);
    }
    // The same sum as the "offset" preference and the fader file's times.
    return TruncToInt64(ClockSeconds(part[0], part[1], part[2]) * rate);
}

void DitherRange(int depth, int& offset, int& span) {
    if (depth <= 0) {
        offset = span = 0;
        return;
    }
    offset = int(std::pow(2.0, depth - 1));
    span = int(std::pow(2.0, depth) + 1.0);
}

void ReadSeed(Prefs& prefs) {
    const std::string& c = prefs.file.content;
    ScanKeyword(c, "seed", [&](Tokenizer& t) {
        // The value is the rest of the keyword's own line: a keyword that
        // ends its line has none.
        std::string_view v;
        const bool sameLine = t.pos > 0 && t.pos <= t.text.size() && t.text[t.pos - 1] == '\t';
        if (sameLine) {
            const size_t end = t.text.find('\n', t.pos);
            v = t.text.substr(t.pos, end == std::string_view::npos ? std::string_view::npos : end - t.pos);
        }
        uint64_t value = 0;
        bool ok = !v.empty() && v.size() <= 10;
        for (char ch : v) {
            if (ch < '0' || ch > '9') ok = false;
            else value = value * 10 + uint64_t(ch - '0');
        }
        if (ok && value <= 0xFFFFFFFFu) {
            prefs.seed = uint32_t(value);
            prefs.seedSet = true;
        } else {
            std::printf("Warning: the seed \"%.*s\" is not a whole number from 0 to 4294967295; "
                        "the line is ignored.\n",
                        int(v.size()), v.data());
        }
        return true;
    });
}

void LoadPreferences(const std::string& path, Prefs& prefs) {
    if (LoadTextFile(path, prefs.file) != LoadResult::Ok) {
        std::puts("\nWarning: prefs.txt file was not found...");
        if (!CreateDefaultPrefs(prefs.file)) {
            // "prefs.txt" exists already (another name was asked for) or
            // cannot be made: use the default content without writing.
            UseDefaultText(prefs.file);
        }
        std::puts("...created one for you.");
    }
    const std::string& c = prefs.file.content;
    PrintLineWarnings(c, WarningFile::Preferences);

    ScanKeyword(c, "verbo", [&](Tokenizer& t) {
        std::string_view v;
        if (NextToken(t, kFieldDelims, v)) prefs.verbosity = ReadInteger(v);
        return true;
    });
    if (prefs.verbosity == 2) std::fputs(kBanner, stdout);

    ReadPrefix(c, "mixdir", prefs.mixDirSet, prefs.mixDir);
    ReadPrefix(c, "predir", prefs.preDirSet, prefs.preDir);
    ReadPrefix(c, "bakdir", prefs.bakDirSet, prefs.bakDir);
    ReadPrefix(c, "wavdir", prefs.wavDirSet, prefs.wavDir);

    ScanKeyword(c, "tlist", [&](Tokenizer& t) {
        std::string_view v;
        if (!NextToken(t, kFieldDelims, v)) return true;
        int mode = ReadInteger(v);
        if (mode == 0 || mode == 1) prefs.trackListMode = mode;
        return true;
    });
    if (HasKeyword(c, "tlist=tab")) prefs.separator = '\t';
}

int ReadOutputName(Prefs& prefs, const std::string& scriptMixName) {
    const std::string& c = prefs.file.content;
    prefs.mixName = scriptMixName;
    ScanKeyword(c, "oname", [&](Tokenizer& t) {
        std::string_view v;
        if (NextToken(t, kLineDelim, v)) prefs.mixName.assign(v);
        return true;
    });
    ReadFieldCount(c, "sfields", prefs.startFields);
    prefs.outputName = (prefs.mixDirSet ? prefs.mixDir : std::string()) + prefs.mixName + ".wav";
    if (prefs.outputName.size() > size_t(kMaxPathChars)) {
        std::printf("Error: the output file name %s is longer than %i characters.\n",
                    prefs.outputName.c_str(), kMaxPathChars);
        return 2;
    }
    return 0;
}

int ComputeMixWindow(Prefs& prefs, int64_t songLength, double rate, MixWindow& window) {
    const std::string& c = prefs.file.content;
    if (prefs.verbosity == 2) std::puts("Checking Preferences...");

    bool prefound = false;
    Tokenizer afterPre{c, 0};
    ScanKeyword(c, "pre", [&](Tokenizer& t) {
        std::string_view v;
        prefound = true;
        if (NextToken(t, kLineDelim, v) && v == "on") prefs.preview = true;
        afterPre = t;
        return false;
    });
    if (!prefound) std::puts("Preview mode not specified.");

    ReadFieldCount(c, "xfields", prefs.inOutFields);

    if (prefs.preview) {
        prefs.outputName = std::string(prefs.preDirSet   ? prefs.preDir
                                       : prefs.mixDirSet ? prefs.mixDir
                                                         : std::string()) +
                           "preview.wav";
        if (prefs.verbosity == 2) std::puts("Running in Preview Mode");
        int64_t start = 0, length = songLength;
        std::string_view tok;
        // "start" and "length" count only when they follow "pre".
        while (NextToken(afterPre, kFieldDelims, tok)) {
            if (tok == "end") break;
            if (tok == "start") {
                start = ReadTimeFields(afterPre, prefs.startFields, rate);
                if (start > songLength || (start == songLength && songLength > 0)) {
                    std::puts("Error: Preview start time in preferences file exceeds song length");
                    return 2;
                }
                if (start < 0) {
                    std::puts("Error: Preview start time in preferences is less than zero.");
                    return 2;
                }
            } else if (tok == "length") {
                std::string_view v;
                if (NextToken(afterPre, kLineDelim, v)) length = PreviewLength(v, rate);
            }
        }
        if (length < 0 || start < 0) {
            std::puts("Head or tail set incorrectly in preferences!");
            return 2;
        }
        window.start = start;
        window.length = length;
        CutAtSongEnd(songLength, rate, window);
        prefs.inGiven = false;
        prefs.inPoint = 0;
        return 0;
    }

    int64_t head = 0, tail = 0, in = 0, out = 0;
    bool inGiven = false, outGiven = false;
    ScanKeyword(c, "head", [&](Tokenizer& t) {
        std::string_view v;
        if (NextToken(t, kFieldDelims, v)) head = WindowPosition(SecondsToSamples(v, rate));
        return true;
    });
    ScanKeyword(c, "tail", [&](Tokenizer& t) {
        std::string_view v;
        if (NextToken(t, kFieldDelims, v)) tail = WindowPosition(SecondsToSamples(v, rate));
        return true;
    });
    ScanKeyword(c, "xin", [&](Tokenizer& t) {
        in = WindowPosition(ReadTimeFields(t, prefs.inOutFields, rate));
        inGiven = true;
        return true;
    });
    ScanKeyword(c, "xout", [&](Tokenizer& t) {
        out = WindowPosition(ReadTimeFields(t, prefs.inOutFields, rate));
        outGiven = true;
        return true;
    });

    // A head or tail that leaves nothing of the song is a mistake to report,
    // not a setting to pass over.
    for (const auto& [name, value] : {std::pair{"head", head}, std::pair{"tail", tail}}) {
        if (value > 1 && value >= songLength) {
            std::printf("Error: the %s of %s is not shorter than the song (%s).\n", name,
                        ClockText(value, rate).c_str(), ClockText(songLength, rate).c_str());
            return 2;
        }
    }
    int64_t start = 0, length = songLength;
    if (inGiven) {
        length -= in;
        start = in;
    }
    if (outGiven) length = out - (inGiven ? in : 0);
    if (head > 1 && head < songLength) {
        length -= head;
        start += head;
    }
    if (tail > 1 && tail < songLength) length -= tail;
    if (length < 0 || start < 0 || start >= songLength) {
        std::puts("Head or tail set incorrectly in preferences!");
        return 2;
    }
    window.start = start;
    window.length = length;
    CutAtSongEnd(songLength, rate, window);
    prefs.inGiven = inGiven;
    prefs.inPoint = inGiven ? in : 0;
    return 0;
}

void ReadOutputSwitches(Prefs& prefs) {
    const std::string& c = prefs.file.content;
    ScanKeyword(c, "v=percent", [&](Tokenizer&) {
        prefs.percentMode = true;
        if (prefs.verbosity == 2) std::puts("Faders using percent.");
        return true;
    });
    ScanKeyword(c, "tempo", [&](Tokenizer&) {
        prefs.tempoMode = true;
        if (prefs.verbosity == 2) std::puts("Tempo mode on.");
        return true;
    });
    ScanKeyword(c, "launch", [&](Tokenizer& t) {
        std::string_view v;
        if (!NextToken(t, kFieldDelims, v)) return true;
        if (v.size() > size_t(kMaxLaunchChars)) {
            std::printf("Warning: the launch command is longer than %i characters and is ignored.\n",
                        kMaxLaunchChars);
            return true;
        }
        prefs.launch.assign(v);
        prefs.launchSet = true;
        return true;
    });
    ScanKeyword(c, "mono", [&](Tokenizer& t) {
        std::string_view v;
        if (!NextToken(t, kLineDelim, v)) return true;
        prefs.mono = true;
        double g = std::pow(10.0, ReadDecimal(v) / 20.0);
        prefs.monoGain = (g > 1.0 || g < 0.125) ? 0.5 : g;
        return true;
    });
    ScanKeyword(c, "dbps", [&](Tokenizer& t) {
        std::string_view v;
        if (NextToken(t, kLineDelim, v)) prefs.dbps = float(ReadDecimal(v));
        return true;
    });
    ScanKeyword(c, "dither", [&](Tokenizer& t) {
        std::string_view v;
        if (!NextToken(t, kLineDelim, v)) return true;
        int d = ReadInteger(v);
        if (d < 0 || d > 8)
            std::puts("Dither is set out of range (0-8)");
        else
            prefs.dither = d;
        return true;
    });
    DitherRange(prefs.dither, prefs.ditherOffset, prefs.ditherSpan);
    int bits = 24;
    CodetoInt(c, "outbits", bits);
    prefs.outBits = (bits == 16) ? 16 : 24;
}

}  // namespace varnel
