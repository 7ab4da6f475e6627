// Loudness and true-peak meter of the written output: K-weighted mean square
// over 100 ms sub-blocks, 400 ms gating blocks with 75 % overlap for the
// integrated loudness (absolute gate -70 LUFS, relative gate -10 LU), 3 s
// short-term values every 100 ms for the loudness range (relative gate
// -20 LU, 10th to 95th percentile), and the true peak by 4x oversampling.
// The meter keeps one number per finished 100 ms sub-block (8 bytes) and
// works out the blocks, the short-term values and the gates from them at the
// end, so every block and every short-term value meets the gates with its
// own value.
#pragma once

#include <cstdint>
#include <vector>

namespace varnel {

struct KBiquad {
    double b0, b1, b2, a1, a2;  // a0 = 1
};

// The two K-weighting stages for a sample rate, from their analog prototype
// by the bilinear transform: the high-frequency shelf, then the high pass
// (whose numerator is always 1, -2, 1).
struct KWeighting {
    KBiquad shelf;
    KBiquad highPass;
};
KWeighting KWeightingFor(double rate);

// Oversampling interpolator: kTruePeakPhases phases of kTruePeakTaps taps.
// Phase 0 is the input itself; phase p interpolates p / kTruePeakPhases of
// a sample after the input kTruePeakCentre samples before the newest of its
// window.
constexpr int kTruePeakPhases = 4;
constexpr int kTruePeakTaps = 12;
constexpr int kTruePeakCentre = 6;
struct TruePeakFilter {
    // phase[p][k] multiplies the k-th oldest of the last kTruePeakTaps inputs.
    double phase[kTruePeakPhases][kTruePeakTaps];
    // Largest sum of |taps| of a phase, rounded up past the rounding of any
    // output: no output exceeds it times the largest input magnitude in its
    // window.
    double gainBound;
};
TruePeakFilter MakeTruePeakFilter();

constexpr int kShortTermSubBlocks = 30;  // 3 s
constexpr int kGatingSubBlocks = 4;      // 400 ms
constexpr int kTruePeakHistory = kTruePeakTaps - 1;

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
    double subSum[2] = {};       // K-weighted squares per channel, frame by frame
    // The K-weighted square sum of every finished sub-block, in order: left
    // plus right.
    std::vector<double> subSums;
    // True peak: the inputs before the current part, oldest first, the
    // channels of a frame side by side.
    TruePeakFilter filter{};
    double history[kTruePeakHistory * 2] = {};
    double truePeak[2] = {};     // largest interpolated magnitude, full scale 1
};

// Readies the meter for a run at `rate` with 1 or 2 channels of integers
// whose full scale is `fullScale` (2^23 for 24-bit output, 2^15 for 16-bit).
// With `expectedFrames` (the window's length) the sub-block list is reserved
// once (up to 58 hours), so it does not grow while mixing.
void StartLoudnessMeter(LoudnessState& m, uint32_t rate, int channels, double fullScale,
                        int64_t expectedFrames = 0);

// Measures n frames; `right` is ignored with one channel.
void MeasureLoudness(LoudnessState& m, const int32_t* left, const int32_t* right, int n);

struct LoudnessFigures {
    double integrated = 0.0;  // LUFS; -infinity when no block passes the gates
    double range = 0.0;       // LU; 0 without any gated 3 s value
    double truePeakL = 0.0;   // dBTP; -144 (the report's floor) for silence
    double truePeakR = 0.0;   // equal to L with one channel
};
// The figures of everything measured so far, the true peak including the
// interpolator's run-out over kTruePeakTaps frames of silence after the end.
// Needs, for a moment, 8 bytes per 3 s value on top of the state.
LoudnessFigures LoudnessResult(const LoudnessState& m);

// The loudness (LUFS) of the `count` finished sub-blocks that end with
// sub-block `last` (the momentary loudness with 4, the short-term loudness
// with 30): NaN when fewer than `count` end there, -infinity for silence.
// Sub-block j ends (j + 1) x rate / 10 frames after the meter started.
double LoudnessOfLast(const LoudnessState& m, int64_t last, int count);

}  // namespace varnel
