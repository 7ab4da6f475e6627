#include "mixer/run/prefs.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "mixer/run/output_checks.hpp"
#include "mixer/utilities/limits.hpp"
#include "mixer/utilities/text/line_checks.hpp"
#include "mixer/utilities/text/numbers.hpp"
#include "mixer/utilities/fader_script/start_offsets.hpp"

namespace varnel {

namespace {

constexpr const char* kBanner =
    "Varnel version 1.164 (w20e) - offline multitrack mixer\n"
    "Mixes from text: tracks, faders, preferences.\n";

constexpr const char* kDefaultPrefsName = "prefs.txt";

// Creates "prefs.txt" only where no file of that name exists, so a mistyped
// name on the command line never costs the user a real preferences file.
bool CreateDefaultPrefs(const std::string& name, TextFile& out) {
    int fd = ::open(kDefaultPrefsName, O_RDWR | O_CREAT | O_EXCL, 0644);
    if (fd < 0) return false;
    std::FILE* f = ::fdopen(fd, "w+");
    if (!f) {
        ::close(fd);
        return false;
    }
    bool ok = std::fputs(kDefaultPrefsText, f) >= 0 && std::fflush(f) == 0;
    if (ok) LoadTextStream(f, name, out);
    std::fclose(f);
    return ok;
}

// A "threads" value: a whole number 0..64 written as digits alone, else -1.
int ReadThreadCount(std::string_view v) {
    if (v.empty() || v.size() > 2) return -1;
    int count = 0;
    for (char c : v) {
        if (c < '0' || c > '9') return -1;
        count = count * 10 + (c - '0');
    }
    return count <= kMaxThreads ? count : -1;
}

// A directory prefix from the rest of the keyword's line (last hit wins).
void ReadPrefix(const ScanText& src, const char* keyword, bool& set, std::string& value) {
    ScanKeyword(src, keyword, [&](KeywordLine& k) {
        std::string_view v;
        if (!NextField(k, kLineDelim, v)) return true;
        if (v.size() > size_t(kMaxPathChars)) {
            LineWarning(src, k.line,
                        std::string("the \"") + keyword + "\" setting is longer than " +
                            std::to_string(kMaxPathChars) + " characters and is ignored.",
                        true);
            return true;
        }
        value.assign(v);
        set = true;
        return true;
    });
}

// Rest-of-line integer field count: 1, 2 or 3, anything else 3 (last hit wins).
void ReadFieldCount(const ScanText& src, const char* keyword, int& fields) {
    ScanKeyword(src, keyword, [&](KeywordLine& k) {
        std::string_view v;
        if (!NextField(k, kLineDelim, v)) return true;
        int n = IntegerOf(k, v);
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
void CutAtSongEnd(const ScanText& c, int64_t songLength, double rate, MixWindow& window) {
    if (window.length <= songLength - window.start) return;
    window.length = songLength - window.start;
    FileWarning(c, "Warning: the mix window ends past the song's end; it is cut at " +
                       ClockText(songLength, rate) + ".\n");
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

int64_t SecondsToSamples(KeywordLine& k, std::string_view field, double rate) {
    float seconds = float(DecimalOf(k, field));
    return TruncToInt64(double(seconds) * rate);
}

}  // namespace

ScanText PrefsText(const Prefs& prefs) { return ScanOf(prefs.file, prefs.diag, true); }

int64_t ReadTimeFields(KeywordLine& k, int fields, double rate) {
    // Slots: minutes, seconds, milliseconds; which ones a line carries
    // depends on the field count.
    static constexpr int kSlotsFor[4][3] = {{1, -1, -1}, {1, -1, -1}, {0, 1, -1}, {0, 1, 2}};
    double part[3] = {0.0, 0.0, 0.0};
    if (fields < 1 || fields > 3) fields = 3;
    for (int i = 0; i < fields; ++i)
        part[kSlotsFor[fields][i]] = DecimalField(k, i == fields - 1 ? kLineDelim : kTabDelim);
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
    const ScanText c = PrefsText(prefs);
    ScanKeyword(c, "seed", [&](KeywordLine& k) {
        // The value is the rest of the keyword's own line; the check below
        // names a missing or wrong one.
        std::string_view v;
        if (!NextToken(k.t, kLineDelim, v)) v = std::string_view();
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
            LineWarning(c, k.line,
                        "the seed \"" + std::string(v) +
                            "\" is not a whole number from 0 to 4294967295; the line is ignored.",
                        true);
        }
        return true;
    });
}

namespace {

// A number from `low` to `high` (both accepted) filling the whole field, or
// false: the range check is the reader's, so "nan", text after the number
// and out-of-range values all read as refused.
bool NumberWithin(std::string_view field, double low, double high, double& value) {
    const std::string s(field);
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (s.empty() || end != s.c_str() + s.size() || !(v >= low && v <= high)) return false;
    value = v;
    return true;
}

}  // namespace

void ReadLoudnessTarget(Prefs& prefs) {
    const ScanText c = PrefsText(prefs);
    struct Setting {
        const char* keyword;
        double low, high;
        const char* what;  // for the warning
        const char* unit;
        double* value;
        bool* set;
    };
    bool ceilingSet = false;
    const Setting settings[] = {
        {"lufs", -70.0, 0.0, "loudness target", "LUFS", &prefs.lufs, &prefs.lufsSet},
        {"tpmax", -20.0, 0.0, "true-peak ceiling", "dBTP", &prefs.tpmax, &ceilingSet},
    };
    for (const Setting& st : settings) {
        ScanKeyword(c, st.keyword, [&](KeywordLine& k) {
            // Read past the field count, as for "seed": the warning below
            // names a missing value too.
            std::string_view v;
            if (!NextToken(k.t, kFieldDelims, v)) v = std::string_view();
            double value = 0.0;
            if (NumberWithin(v, st.low, st.high, value)) {
                *st.value = value;
                *st.set = true;
            } else {
                char range[64];
                std::snprintf(range, sizeof range, "%g to %g %s", st.low, st.high, st.unit);
                LineWarning(c, k.line,
                            std::string("the ") + st.what + " \"" + std::string(v) +
                                "\" is not a number from " + range + "; the line is ignored.",
                            true);
            }
            return true;
        });
    }
}

void ReadHtmlSwitch(Prefs& prefs) {
    const ScanText c = PrefsText(prefs);
    ScanKeyword(c, "html", [&](KeywordLine& k) {
        std::string_view v;
        if (!NextToken(k.t, kLineDelim, v)) v = std::string_view();
        if (v == "on" || v == "off") {
            prefs.htmlReport = v == "on";
        } else {
            LineWarning(c, k.line,
                        v.empty() ? std::string("html needs \"on\" or \"off\"; the line is ignored.")
                                  : "html is \"on\" or \"off\", not \"" + std::string(v) +
                                        "\"; the line is ignored.",
                        true);
        }
        return true;
    });
}

void LoadPreferences(const std::string& path, Prefs& prefs, Diagnostics& diag, bool createMissing) {
    prefs.diag = &diag;
    if (LoadTextFile(path, prefs.file) != LoadResult::Ok) {
        std::string message = "\nWarning: " + path + " file was not found...\n";
        if (createMissing && CreateDefaultPrefs(path, prefs.file)) {
            message += "...created one for you.\n";
            if (path != kDefaultPrefsName)
                message += std::string("The default preferences were written to ") +
                           kDefaultPrefsName + ".\n";
        } else {
            // "prefs.txt" exists already (another name was asked for), cannot
            // be made, or nothing may be written: the defaults are used as
            // they are.
            SetText(prefs.file, path, kDefaultPrefsText);
            message += "...the default settings are used.\n";
        }
        AddWarning(diag, path, 0, message, true);
    }
    const ScanText c = PrefsText(prefs);
    CrLfWarning(c, prefs.file);
    PrintLineWarnings(c, WarningFile::Preferences);

    ScanKeyword(c, "verbo", [&](KeywordLine& k) {
        std::string_view v;
        if (NextField(k, kFieldDelims, v)) prefs.verbosity = IntegerOf(k, v);
        return true;
    });

    ReadPrefix(c, "mixdir", prefs.mixDirSet, prefs.mixDir);
    ReadPrefix(c, "predir", prefs.preDirSet, prefs.preDir);
    ReadPrefix(c, "bakdir", prefs.bakDirSet, prefs.bakDir);
    ReadPrefix(c, "wavdir", prefs.wavDirSet, prefs.wavDir);

    ScanKeyword(c, "tlist", [&](KeywordLine& k) {
        std::string_view v;
        if (!NextField(k, kFieldDelims, v)) return true;
        int mode = IntegerOf(k, v);
        if (mode == 0 || mode == 1) prefs.trackListMode = mode;
        return true;
    });
    if (HasKeyword(c, "tlist=tab")) prefs.separator = '\t';
}

void PrintBanner(const Prefs& prefs) {
    if (prefs.verbosity == 2) std::fputs(kBanner, stdout);
}

int ReadOutputName(Prefs& prefs, const std::string& scriptMixName) {
    const ScanText c = PrefsText(prefs);
    prefs.mixName = scriptMixName;
    ScanKeyword(c, "oname", [&](KeywordLine& k) {
        std::string_view v;
        if (NextField(k, kLineDelim, v)) prefs.mixName.assign(v);
        return true;
    });
    ReadFieldCount(c, "sfields", prefs.startFields);
    if (int st = CheckMixName(prefs.mixName)) return st;
    prefs.outputName = (prefs.mixDirSet ? prefs.mixDir : std::string()) + prefs.mixName + ".wav";
    if (prefs.outputName.size() > size_t(kMaxPathChars)) {
        std::printf("Error: the output file name %s is longer than %i characters.\n",
                    prefs.outputName.c_str(), kMaxPathChars);
        return 2;
    }
    return 0;
}

int ComputeMixWindow(Prefs& prefs, int64_t songLength, double rate, MixWindow& window) {
    const ScanText c = PrefsText(prefs);
    if (prefs.verbosity == 2) std::puts("Checking Preferences...");

    bool prefound = false;
    size_t afterPre = 0;
    ScanKeyword(c, "pre", [&](KeywordLine& k) {
        std::string_view v;
        prefound = true;
        if (NextField(k, kLineDelim, v) && v == "on") prefs.preview = true;
        afterPre = k.t.pos;
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
        int status = 0;
        // "start" and "length" count only when they follow "pre".
        ScanKeywords(
            c, [](std::string_view tok, size_t) { return tok == "start" || tok == "length"; },
            [&](KeywordLine& k) {
                if (k.keyword == "start") {
                    if (NoValue(k, prefs.startFields)) return true;
                    start = ReadTimeFields(k, prefs.startFields, rate);
                    if (start > songLength || (start == songLength && songLength > 0)) {
                        CheckFieldCount(k);
                        LineError(c, k.line,
                                  "Error: Preview start time in preferences file exceeds song length\n");
                        status = 2;
                        return false;
                    }
                    if (start < 0) {
                        CheckFieldCount(k);
                        LineError(c, k.line,
                                  "Error: Preview start time in preferences is less than zero.\n");
                        status = 2;
                        return false;
                    }
                } else {
                    std::string_view v;
                    if (NextField(k, kLineDelim, v)) {
                        DecimalOf(k, v);  // names text after the number
                        length = PreviewLength(v, rate);
                    }
                }
                return true;
            },
            true, afterPre);
        if (status != 0) return status;
        if (length < 0 || start < 0) {
            std::puts("Head or tail set incorrectly in preferences!");
            return 2;
        }
        window.start = start;
        window.length = length;
        CutAtSongEnd(c, songLength, rate, window);
        prefs.inGiven = false;
        prefs.inPoint = 0;
        return 0;
    }

    int64_t head = 0, tail = 0, in = 0, out = 0;
    bool inGiven = false, outGiven = false;
    ScanKeyword(c, "head", [&](KeywordLine& k) {
        std::string_view v;
        if (NextField(k, kFieldDelims, v)) head = WindowPosition(SecondsToSamples(k, v, rate));
        return true;
    });
    ScanKeyword(c, "tail", [&](KeywordLine& k) {
        std::string_view v;
        if (NextField(k, kFieldDelims, v)) tail = WindowPosition(SecondsToSamples(k, v, rate));
        return true;
    });
    ScanKeyword(c, "xin", [&](KeywordLine& k) {
        if (NoValue(k, prefs.inOutFields)) return true;
        in = WindowPosition(ReadTimeFields(k, prefs.inOutFields, rate));
        inGiven = true;
        return true;
    });
    ScanKeyword(c, "xout", [&](KeywordLine& k) {
        if (NoValue(k, prefs.inOutFields)) return true;
        out = WindowPosition(ReadTimeFields(k, prefs.inOutFields, rate));
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
    CutAtSongEnd(c, songLength, rate, window);
    prefs.inGiven = inGiven;
    prefs.inPoint = inGiven ? in : 0;
    return 0;
}

void ReadOutputSwitches(Prefs& prefs) {
    const ScanText c = PrefsText(prefs);
    ScanKeyword(c, "v=percent", [&](KeywordLine&) {
        prefs.percentMode = true;
        if (prefs.verbosity == 2) std::puts("Faders using percent.");
        return true;
    });
    ScanKeyword(c, "tempo", [&](KeywordLine&) {
        prefs.tempoMode = true;
        if (prefs.verbosity == 2) std::puts("Tempo mode on.");
        return true;
    });
    ScanKeyword(c, "launch", [&](KeywordLine& k) {
        std::string_view v;
        if (!NextField(k, kFieldDelims, v)) return true;
        if (v.size() > size_t(kMaxLaunchChars)) {
            LineWarning(c, k.line,
                        "the launch command is longer than " + std::to_string(kMaxLaunchChars) +
                            " characters and is ignored.",
                        true);
            return true;
        }
        prefs.launch.assign(v);
        prefs.launchSet = true;
        return true;
    });
    ScanKeyword(c, "mono", [&](KeywordLine& k) {
        std::string_view v;
        if (!NextField(k, kLineDelim, v)) return true;
        prefs.mono = true;
        double g = std::pow(10.0, DecimalOf(k, v) / 20.0);
        prefs.monoGain = (g > 1.0 || g < 0.125) ? 0.5 : g;
        return true;
    });
    ScanKeyword(c, "dbps", [&](KeywordLine& k) {
        std::string_view v;
        if (NextField(k, kLineDelim, v)) prefs.dbps = float(DecimalOf(k, v));
        return true;
    });
    ScanKeyword(c, "dither", [&](KeywordLine& k) {
        std::string_view v;
        if (!NextField(k, kLineDelim, v)) return true;
        int d = IntegerOf(k, v);
        if (d < 0 || d > 8)
            LineMessage(c, k.line, "Dither is set out of range (0-8)\n");
        else
            prefs.dither = d;
        return true;
    });
    DitherRange(prefs.dither, prefs.ditherOffset, prefs.ditherSpan);
    int bits = 24;
    CodetoInt(c, "outbits", bits);
    prefs.outBits = (bits == 16) ? 16 : 24;
    ScanKeyword(c, "threads", [&](KeywordLine& k) {
        std::string_view v;
        if (NoValue(k, 1) || !NextField(k, kFieldDelims, v)) return true;
        const int count = ReadThreadCount(v);
        if (count < 0)
            LineMessage(c, k.line, "Threads is set out of range (0-64)\n");
        else
            prefs.threads = count;
        return true;
    });
}

}  // namespace varnel
