// Loudness and true-peak meter of the written output: K-weighted mean square
// over 100 ms sub-blocks, 400 ms gating blocks with 75 % overlap for the
// integrated loudness (absolute gate -70 LUFS, relative gate -10 LU), 3 s
// short-term values every 100 ms for the loudness range (relative gate
// -20 LU, 10th to 95th percentile), and the true peak by 4x oversampling.
// Memory is fixed when the meter starts: block and short-term loudnesses go
// into histograms, never into lists that grow with the song.
#pragma once

#include <cstdint>
#include <vector>

namespace varnel {

struct KBiquad {
    double b0, b1, b2, a1, a2;  // a0 = 1
};

// The two K-weighting stages for a sample rate, from their analog prototype
// by the bilinear transform: the high-frequency shelf, then the high pass.
struct KWeighting {
    KBiquad shelf;
    KBiquad highPass;
};
KWeighting KWeightingFor(double rate);

// Histogram of loudness values above the absolute gate, in bins of
// kLoudnessBinLu from kLoudnessFloorLufs up; each bin keeps the number of
// values and the sum of their mean squares, so gated means stay exact.
constexpr double kLoudnessFloorLufs = -70.0;
constexpr double kLoudnessBinLu = 0.01;
constexpr int kLoudnessBins = 9000;  // up to +20 LUFS, above any full-scale signal
struct LoudnessHistogram {
    std::vector<int64_t> count;
    std::vector<double> power;
};

// Oversampling interpolator: kTruePeakPhases phases of kTruePeakTaps taps.
constexpr int kTruePeakPhases = 4;
constexpr int kTruePeakTaps = 12;
struct TruePeakFilter {
    // phase[p][k] multiplies the k-th oldest of the last kTruePeakTaps inputs.
    double phase[kTruePeakPhases][kTruePeakTaps];
    // Largest sum of |taps| of a phase: no output exceeds it times the
    // largest input magnitude in its window.
    double gainBound;
};
TruePeakFilter MakeTruePeakFilter();

constexpr int kShortTermSubBlocks = 30;  // 3 s
constexpr int kGatingSubBlocks = 4;      // 400 ms

// The meter's whole state; the caller owns it. A meter that was never
// started measures nothing.
struct LoudnessState {
    bool started = false;
    int channels = 0;        // 1 or 2
    uint32_t rate = 0;
    double scale = 0.0;      // 1 / full scale of the measured integers
    KWeighting k{};
    double shelfZ[2][2] = {};   // per channel, transposed direct form II
    double highZ[2][2] = {};
    // Current 100 ms sub-block: frames [start of sub-block, subEnd).
    int64_t frames = 0;          // frames measured so far
    int64_t subIndex = 0;
    int64_t subEnd = 0;
    double subSum = 0.0;         // K-weighted squares, summed over channels
    // The last kShortTermSubBlocks finished sub-blocks (ring).
    double ringSum[kShortTermSubBlocks] = {};
    int64_t ringFrames[kShortTermSubBlocks] = {};
    int ringNext = 0;
    int64_t finished = 0;        // sub-blocks finished
    LoudnessHistogram blocks;     // 400 ms gating blocks
    LoudnessHistogram shortTerm;  // 3 s values
    // True peak: the inputs before the current part, oldest first.
    TruePeakFilter filter{};
    double history[2][kTruePeakTaps - 1] = {};
    double truePeak[2] = {};     // largest interpolated magnitude, full scale 1
};

// Readies the meter for a run at `rate` with 1 or 2 channels of integers
// whose full scale is `fullScale` (2^23 for 24-bit output, 2^15 for 16-bit).
void StartLoudnessMeter(LoudnessState& m, uint32_t rate, int channels, double fullScale);

// Measures n frames; `right` is ignored with one channel.
void MeasureLoudness(LoudnessState& m, const int32_t* left, const int32_t* right, int n);

struct LoudnessFigures {
    double integrated = 0.0;  // LUFS; -infinity when no block passes the gates
    double range = 0.0;       // LU; 0 without any gated 3 s value
    double truePeakL = 0.0;   // dBTP; -infinity for silence
    double truePeakR = 0.0;   // equal to L with one channel
};
LoudnessFigures LoudnessResult(const LoudnessState& m);

}  // namespace varnel
