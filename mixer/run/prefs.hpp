// The preferences file: its loading (or creation with the default content),
// the keyword groups read at each phase of the run, and the derived values
// (output name, mix window, dither offset and span).
#pragma once

#include <cstdint>
#include <string>

#include "mixer/utilities/text/keyword_line.hpp"
#include "mixer/utilities/text/text_scan.hpp"

namespace varnel {

constexpr const char* kDefaultPrefsText =
    "begin\npre\toff\nstart\t0\t0\t0\nlength\t0\noutbits\t24\n\nend\n";

struct Prefs {
    TextFile file;
    Diagnostics* diag = nullptr;  // the run's record; nullptr: messages printed only

    // first group (read at load time)
    int verbosity = 2;
    bool mixDirSet = false, preDirSet = false, bakDirSet = false, wavDirSet = false;
    std::string mixDir, preDir, bakDir, wavDir;
    int trackListMode = 2;
    char separator = ' ';

    // names
    std::string mixName;
    int startFields = 3;
    std::string outputName;

    // mix window
    bool preview = false;
    int inOutFields = 3;
    bool inGiven = false;
    int64_t inPoint = 0;  // the "xin" position, used by "offset" with "xlink"

    // remaining switches
    bool percentMode = false;
    bool tempoMode = false;
    bool launchSet = false;
    std::string launch;
    bool mono = false;
    double monoGain = 1.0;
    float dbps = 0.0f;
    int dither = 1;
    int ditherOffset = 1;
    int ditherSpan = 3;
    int outBits = 24;
    int threads = 1;   // channel-pass threads: 1 this thread only, 0 one per core, up to 64

    // "html on": the HTML report is written too (phase 13)
    bool htmlReport = false;

    // dither seed (phase 10): set by "seed", else the clock gives it
    bool seedSet = false;
    uint32_t seed = 0;

    // loudness target (phase 13): "lufs" asks for two passes, "tpmax" caps them
    bool lufsSet = false;
    double lufs = 0.0;    // integrated loudness to deliver, LUFS
    double tpmax = -1.0;  // true-peak ceiling, dBTP
};

struct MixWindow {
    int64_t start = 0;
    int64_t length = 0;
};

// Opens and loads the preferences, prints the line warnings, then reads the
// first keyword group. A missing file is replaced by the default content,
// written to "prefs.txt" (where no such file exists) when `createMissing`.
// Warnings go to `diag`.
void LoadPreferences(const std::string& path, Prefs& prefs, Diagnostics& diag,
                     bool createMissing = true);
// The banner, at verbosity 2.
void PrintBanner(const Prefs& prefs);
// The preferences as the keyword scans read them.
ScanText PrefsText(const Prefs& prefs);

// Phase 11: the mix name ("oname", else `scriptMixName`), "sfields" and the
// output file name. Returns 0, or the exit status after printing why (a mix
// name that is no file name, an output name that is too long).
int ReadOutputName(Prefs& prefs, const std::string& scriptMixName);

// Phase 12: preview or head/tail/in/out. Returns 0, or 2 after the message.
int ComputeMixWindow(Prefs& prefs, int64_t songLength, double rate, MixWindow& window);

// Phase 13: "v=percent", "tempo", "launch", "mono", "dbps", "dither", "outbits",
// "threads".
void ReadOutputSwitches(Prefs& prefs);

// Position in samples of one to three time fields read from the keyword's
// line: the last field is the rest of the line, the others end at a tab; each
// is rounded to single precision before the sum, which is scaled by the rate
// and truncated. A missing field counts as 0.
int64_t ReadTimeFields(KeywordLine& k, int fields, double rate);

// Phase 10: "seed", a whole number 0..4294967295 (the last accepted line
// counts); any other value prints a warning and the line is ignored.
void ReadSeed(Prefs& prefs);

// Phase 13: "lufs", the integrated loudness to deliver, -70 to 0 LUFS, and
// "tpmax", the true-peak ceiling, -20 to 0 dBTP (-1 without it); the last
// accepted line of each counts. A value that is not a number in its range
// prints a warning and the line is ignored.
void ReadLoudnessTarget(Prefs& prefs);

// Phase 13: "html", "on" or "off" (the last accepted line counts); any other
// value prints a warning and the line is ignored.
void ReadHtmlSwitch(Prefs& prefs);

// Dither offset and span for a depth 0..8.
void DitherRange(int depth, int& offset, int& span);

}  // namespace varnel
