// The end-of-mix report: peaks of every channel, reverb send and submix in
// dB, the average RMS, the output peaks and when they were reached, the
// strips that clipped, the processing time, the loudness and, when any
// output sample reached full scale, how many did. Composed here for the
// console and for "stats_<mix>.txt", with a copy of the fader file to go
// beside it.
#pragma once

#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <vector>

#include "mixer/utilities/metering/loudness_meter.hpp"
#include "mixer/utilities/metering/loudness_target.hpp"
#include "mixer/utilities/metering/output_clips.hpp"

namespace varnel {

// -20 log10(full / raw) when raw > 0, else `floor`.
void RawTodB(double raw, double* result, double full, double floor);

struct ReportInputs {
    double peakOutL = 0.0;         // largest absolute output sample, output scale
    double peakOutR = 0.0;
    int64_t peakOutPosL = 0;       // absolute sample numbers of those peaks
    int64_t peakOutPosR = 0;
    float rmsSumL = 0.0f;          // master RMS meter sums and counts
    float rmsSumR = 0.0f;
    float rmsCountL = 0.0f;
    float rmsCountR = 0.0f;
    uint32_t rate = 0;
    std::vector<std::string> trackNames;  // channel 1 first; cut at the first '.' by the report
    std::span<const double> peakL;        // per slot, 139 entries (137 Rev, 138 Trev)
    std::span<const double> peakR;
    std::span<const int> hasFile;         // per channel number (entry 0 unused)
    int roomReverbOn = 0;
    int tapReverbOn = 0;
    int masterToRoom = 0;
    int masterToTap = 0;
    std::span<const int> busActive;       // buses 0..8
    std::span<const int> clipFlags;       // per slot
    std::clock_t startClock = 0;          // processor clock at program start
    int outBits = 24;                     // 16 or 24
    std::string faderText;                // the fader file as held in memory
    int verbosity = 2;
    int channelsPlusOne = 1;
    bool hasLoudness = false;             // append the loudness lines at the very end
    LoudnessFigures loudness;
    LoudnessTarget target;                // "lufs": its line follows the loudness lines
    OutputClips outputClips;              // output samples at or past full scale
    int threads = 1;                      // channel-pass threads; named only when more than 1
};

// The figures the report prints, in dB (-144 for a peak of 0), for the JSON
// report to give the same ones.
struct SidesDb {
    double left = -144.0;
    double right = -144.0;
    bool Over() const { return left > 0.0 || right > 0.0; }
};
SidesDb SlotPeakDb(const ReportInputs& in, int slot);  // channels, submixes and sends: 2^31 full scale
SidesDb RmsDb(const ReportInputs& in);                  // the average RMS: 2^23 full scale
SidesDb OutputPeakDb(const ReportInputs& in);           // the output's own full scale
// A track's name as the report lists it: cut at its first '.'.
std::string ReportTrackName(const std::string& name);

// "Warning: the output clipped N samples (L n, R n); the first at M min : S
// sec.", with its newline; empty when nothing clipped.
std::string OutputClipWarning(const OutputClips& clips, uint32_t rate);

// "stats_<name>.txt" and "faders_<name>.txt" behind a directory prefix ("" for
// the working directory, else the "bakdir" setting as written). The name is
// the mix name, or "preview" for a preview, whose reports sit beside the
// full mix's without replacing them.
std::string StatsFileName(const std::string& dirPrefix, const std::string& name);
std::string FaderCopyFileName(const std::string& dirPrefix, const std::string& name);

struct ReportTexts {
    std::string console;    // printed after "Done!", as the verbosity asks
    std::string stats;      // the statistics file
    std::string faderCopy;  // the fader-file copy
    float processingSeconds = 0.0f;  // the processing time the report gives
};

// Builds the report (the processing time is read here) and the copy of the
// fader file; prints nothing and writes nothing: the run driver writes the
// two files with its other outputs and prints the console text once every
// file is in place.
ReportTexts ComposeReport(ReportInputs& in);

}  // namespace varnel
