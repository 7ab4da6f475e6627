// The RMS compressor's level measurement: both sides' running sums of
// squares over each half-cycle of the waveform, taken a chunk of frames at a
// time ahead of the compressor's state machine. Only the frames where a
// half-cycle closes are reported; between two of them the levels stand still.
#pragma once

namespace varnel {

constexpr int kMeasureChunk = 256;   // frames measured per pass

typedef double SidePair __attribute__((vector_size(16)));   // left, right
typedef long long SideMask __attribute__((vector_size(16)));

// Both sides' running half-cycles. The sums of squares are single-precision
// values held in doubles; a side's interval is the count of frames since its
// last polarity change, which the single-precision count it stands for
// follows exactly up to 2^24, where that count stops growing.
struct HalfCycles {
    SidePair squares;
    SideMask positive;   // polarity of the previous frame (all ones for +1)
    bool fresh[2];       // previous polarity still 0: the next frame closes
    int last[2];         // frame (from the call's start) of the last change
    float rms[2];
};

constexpr int kIntervalCap = 1 << 24;

// The single-precision interval of a half-cycle closing at `frame`.
inline float IntervalAt(int frame, int last) {
    const int count = frame - last;
    return static_cast<float>(count < kIntervalCap ? count : kIntervalCap);
}

// The frames of a chunk on which a half-cycle closed on either side, with
// both sides' sums of squares there (meaningful where that side closed).
struct HalfCycleUpdates {
    int count;
    int frame[kMeasureChunk];
    int closed[kMeasureChunk];   // bit 0 left, bit 1 right
    SidePair squares[kMeasureChunk];
};

// Adds n frames (at most kMeasureChunk) to one strip's half-cycles: each
// square in double precision, each sum rounded to single precision.
void MeasureHalfCycles(HalfCycles& h, const double* left, const double* right, int n,
                       HalfCycleUpdates& u);

// The same for two strips at once: their sums are independent chains, so
// two strips take little longer than one.
void MeasureHalfCyclesPair(HalfCycles& ha, HalfCycles& hb, const double* la, const double* ra,
                           const double* lb, const double* rb, int n, HalfCycleUpdates& ua,
                           HalfCycleUpdates& ub);

}  // namespace varnel
