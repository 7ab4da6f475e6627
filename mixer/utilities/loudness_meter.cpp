#include "mixer/utilities/loudness_meter.hpp"

#include "mixer/utilities/hot_loop.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace varnel {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kLoudnessOffset = -0.691;  // makes a 1 kHz sine read its level
constexpr double kRelativeGateLu = -10.0;
constexpr double kRangeGateLu = -20.0;
constexpr double kRangeLow = 0.10;
constexpr double kRangeHigh = 0.95;
constexpr double kSilentTruePeakDb = -144.0;  // the report's floor for a peak of 0
constexpr double kKaiserBeta = 6.0;           // about 60 dB of image rejection
constexpr double kFlushBelow = 1e-30;         // filter states this small become 0
constexpr int kScratchFrames = 1024;          // scaled samples held on the stack

// Analog prototype of the K-weighting stages, as fitted to the curve the
// loudness standard gives at 48 kHz.
constexpr double kShelfHz = 1681.974450955533;
constexpr double kShelfGainDb = 3.999843853973347;
constexpr double kShelfQ = 0.7071752369554196;
constexpr double kShelfBandExponent = 0.4996667741545416;
constexpr double kHighPassHz = 38.13547087602444;
constexpr double kHighPassQ = 0.5003270373238773;

double Loudness(double meanSquare) { return kLoudnessOffset + 10.0 * std::log10(meanSquare); }

void AddToHistogram(LoudnessHistogram& h, double meanSquare) {
    if (!(meanSquare > 0.0)) return;
    const double lufs = Loudness(meanSquare);
    if (!(lufs > kLoudnessFloorLufs)) return;  // absolute gate
    int bin = int((lufs - kLoudnessFloorLufs) / kLoudnessBinLu);
    bin = std::clamp(bin, 0, kLoudnessBins - 1);
    h.count[size_t(bin)] += 1;
    h.power[size_t(bin)] += meanSquare;
}

double BinCentre(int bin) { return kLoudnessFloorLufs + (bin + 0.5) * kLoudnessBinLu; }

// Totals of the bins whose values lie above `gate` (by their centre).
void GatedTotals(const LoudnessHistogram& h, double gate, int64_t& count, double& power) {
    count = 0;
    power = 0.0;
    for (int b = 0; b < kLoudnessBins; ++b) {
        if (h.count[size_t(b)] == 0 || BinCentre(b) <= gate) continue;
        count += h.count[size_t(b)];
        power += h.power[size_t(b)];
    }
}

// The relative gate: `offsetLu` below the loudness of the mean power of all
// values in the histogram. NaN for an empty histogram.
double RelativeGate(const LoudnessHistogram& h, double offsetLu) {
    int64_t count = 0;
    double power = 0.0;
    GatedTotals(h, -std::numeric_limits<double>::infinity(), count, power);
    if (count == 0) return std::numeric_limits<double>::quiet_NaN();
    return Loudness(power / double(count)) + offsetLu;
}

// The value at rank round(p x (count - 1)) of the gated values, ascending.
double Percentile(const LoudnessHistogram& h, double gate, int64_t count, double p) {
    const int64_t rank = int64_t(std::llround(p * double(count - 1)));
    int64_t seen = 0;
    for (int b = 0; b < kLoudnessBins; ++b) {
        if (h.count[size_t(b)] == 0 || BinCentre(b) <= gate) continue;
        seen += h.count[size_t(b)];
        if (seen > rank) return BinCentre(b);
    }
    return 0.0;
}

double BesselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 50 && term > 1e-16 * sum; ++k) {
        const double f = x / (2.0 * k);
        term *= f * f;
        sum += term;
    }
    return sum;
}

inline double Stage(const KBiquad& c, double z[2], double x) {
    const double y = c.b0 * x + z[0];
    z[0] = c.b1 * x - c.a1 * y + z[1];
    z[1] = c.b2 * x - c.a2 * y;
    return y;
}

void FlushTiny(double z[2]) {
    for (int i = 0; i < 2; ++i)
        if (std::fabs(z[i]) < kFlushBelow) z[i] = 0.0;
}

// Samples interpolated together, and skipped together when the filter's
// bound shows they cannot raise the true peak.
constexpr int kPeakChunk = 32;
constexpr int kHistory = kTruePeakTaps - 1;

// Follows the true peak of one channel over the n samples at x[kHistory..];
// x[0..kHistory) holds the inputs before them.
void FollowTruePeak(const TruePeakFilter& f, const double* x, int n, double& peak) {
    double out[kPeakChunk];
    for (int i0 = 0; i0 < n; i0 += kPeakChunk) {
        const int len = std::min(n - i0, kPeakChunk);
        const double* w = x + i0;  // w[i .. i + kTruePeakTaps) is the window of output i
        // Largest input magnitude any output of this chunk sees.
        double reach = 0.0;
        for (int i = 0; i < len + kHistory; ++i) reach = std::max(reach, std::fabs(w[i]));
        if (reach * f.gainBound <= peak) continue;
        // Phase 0 is the input itself (delayed), so only the three
        // in-between phases need the filter.
        for (int i = 0; i < len; ++i) peak = std::max(peak, std::fabs(w[kHistory + i]));
        for (int p = 1; p < kTruePeakPhases; ++p) {
            for (int i = 0; i < len; ++i) out[i] = 0.0;
            for (int k = 0; k < kTruePeakTaps; ++k) {
                const double c = f.phase[p][k];
                for (int i = 0; i < len; ++i) out[i] += c * w[i + k];
            }
            for (int i = 0; i < len; ++i) peak = std::max(peak, std::fabs(out[i]));
        }
    }
}

// K-weights a part of n frames, adds their squares to the sub-block and
// follows the true peaks. `scaled` holds the scaled inputs of each channel
// after their history.
void MeasurePart(LoudnessState& m, const int32_t* left, const int32_t* right, int n,
                 double (*scaled)[kHistory + kScratchFrames]) {
    const KBiquad shelf = m.k.shelf, high = m.k.highPass;
    double sum = 0.0;
    if (m.channels == 2) {
        // Both sides in one pass: two independent recursions run side by side.
        for (int i = 0; i < n; ++i) {
            const double l = double(left[i]) * m.scale;
            const double r = double(right[i]) * m.scale;
            scaled[0][kHistory + i] = l;
            scaled[1][kHistory + i] = r;
            const double yl = Stage(high, m.highZ[0], Stage(shelf, m.shelfZ[0], l));
            const double yr = Stage(high, m.highZ[1], Stage(shelf, m.shelfZ[1], r));
            sum += yl * yl + yr * yr;
        }
    } else {
        for (int i = 0; i < n; ++i) {
            const double v = double(left[i]) * m.scale;
            scaled[0][kHistory + i] = v;
            const double y = Stage(high, m.highZ[0], Stage(shelf, m.shelfZ[0], v));
            sum += y * y;
        }
    }
    m.subSum += sum;
    for (int ch = 0; ch < m.channels; ++ch) {
        FlushTiny(m.shelfZ[ch]);
        FlushTiny(m.highZ[ch]);
        double* x = scaled[ch];
        std::copy(m.history[ch], m.history[ch] + kHistory, x);
        FollowTruePeak(m.filter, x, n, m.truePeak[ch]);
        std::copy(x + n, x + n + kHistory, m.history[ch]);
    }
}

void FinishSubBlock(LoudnessState& m) {
    const int64_t subStart = (m.subIndex * int64_t(m.rate)) / 10;
    m.ringSum[m.ringNext] = m.subSum;
    m.ringFrames[m.ringNext] = m.subEnd - subStart;
    m.ringNext = (m.ringNext + 1) % kShortTermSubBlocks;
    m.finished += 1;
    m.subSum = 0.0;
    m.subIndex += 1;
    m.subEnd = ((m.subIndex + 1) * int64_t(m.rate)) / 10;

    // Mean square over the last `count` sub-blocks.
    auto meanOfLast = [&](int count) {
        double sum = 0.0;
        int64_t frames = 0;
        for (int j = 1; j <= count; ++j) {
            const int slot = (m.ringNext - j + kShortTermSubBlocks) % kShortTermSubBlocks;
            sum += m.ringSum[slot];
            frames += m.ringFrames[slot];
        }
        return frames > 0 ? sum / double(frames) : 0.0;
    };
    if (m.finished >= kGatingSubBlocks) AddToHistogram(m.blocks, meanOfLast(kGatingSubBlocks));
    if (m.finished >= kShortTermSubBlocks) AddToHistogram(m.shortTerm, meanOfLast(kShortTermSubBlocks));
}

double PeakDb(double peak) { return peak > 0.0 ? 20.0 * std::log10(peak) : kSilentTruePeakDb; }

}  // namespace

KWeighting KWeightingFor(double rate) {
    KWeighting w{};
    double k = std::tan(kPi * kShelfHz / rate);
    const double vh = std::pow(10.0, kShelfGainDb / 20.0);
    const double vb = std::pow(vh, kShelfBandExponent);
    double a0 = 1.0 + k / kShelfQ + k * k;
    w.shelf.b0 = (vh + vb * k / kShelfQ + k * k) / a0;
    w.shelf.b1 = 2.0 * (k * k - vh) / a0;
    w.shelf.b2 = (vh - vb * k / kShelfQ + k * k) / a0;
    w.shelf.a1 = 2.0 * (k * k - 1.0) / a0;
    w.shelf.a2 = (1.0 - k / kShelfQ + k * k) / a0;

    // The high pass keeps the unnormalised numerator 1, -2, 1 of the
    // published 48 kHz stage.
    k = std::tan(kPi * kHighPassHz / rate);
    a0 = 1.0 + k / kHighPassQ + k * k;
    w.highPass.b0 = 1.0;
    w.highPass.b1 = -2.0;
    w.highPass.b2 = 1.0;
    w.highPass.a1 = 2.0 * (k * k - 1.0) / a0;
    w.highPass.a2 = (1.0 - k / kHighPassQ + k * k) / a0;
    return w;
}

TruePeakFilter MakeTruePeakFilter() {
    // Kaiser-windowed sinc at the input's Nyquist frequency, sampled at four
    // times the input rate and centred on an input sample, so phase 0 is the
    // input itself. Each phase is scaled to unit gain at DC.
    TruePeakFilter f{};
    constexpr int kLength = kTruePeakPhases * kTruePeakTaps;
    constexpr int kCentre = kLength / 2;
    const double i0Beta = BesselI0(kKaiserBeta);
    for (int p = 0; p < kTruePeakPhases; ++p) {
        double sum = 0.0;
        for (int j = 0; j < kTruePeakTaps; ++j) {
            const int n = kTruePeakPhases * j + p;
            const double t = double(n - kCentre) / kTruePeakPhases;  // in input samples
            const double sinc = t == 0.0 ? 1.0 : std::sin(kPi * t) / (kPi * t);
            const double r = double(n - kCentre) / kCentre;
            const double window = BesselI0(kKaiserBeta * std::sqrt(std::max(0.0, 1.0 - r * r))) / i0Beta;
            // Tap j multiplies the input j samples back: store it oldest first.
            f.phase[p][kTruePeakTaps - 1 - j] = sinc * window;
            sum += sinc * window;
        }
        double magnitude = 0.0;
        for (double& c : f.phase[p]) {
            c /= sum;
            magnitude += std::fabs(c);
        }
        f.gainBound = std::max(f.gainBound, magnitude);
    }
    return f;
}

void StartLoudnessMeter(LoudnessState& m, uint32_t rate, int channels, double fullScale) {
    m = LoudnessState{};
    m.started = rate > 0 && (channels == 1 || channels == 2) && fullScale > 0.0;
    if (!m.started) return;
    m.channels = channels;
    m.rate = rate;
    m.scale = 1.0 / fullScale;
    m.k = KWeightingFor(double(rate));
    m.filter = MakeTruePeakFilter();
    m.subEnd = int64_t(rate) / 10;
    for (LoudnessHistogram* h : {&m.blocks, &m.shortTerm}) {
        h->count.assign(kLoudnessBins, 0);
        h->power.assign(kLoudnessBins, 0.0);
    }
}

VARNEL_HOT_LOOP void MeasureLoudness(LoudnessState& m, const int32_t* left, const int32_t* right, int n) {
    if (!m.started) return;
    double scaled[2][kHistory + kScratchFrames];
    int done = 0;
    while (done < n) {
        // Up to the end of the current 100 ms sub-block, a scratch at a time.
        const int part = int(std::min<int64_t>({int64_t(n - done), m.subEnd - m.frames,
                                                int64_t(kScratchFrames)}));
        MeasurePart(m, left + done, m.channels == 2 ? right + done : nullptr, part, scaled);
        m.frames += part;
        done += part;
        if (m.frames == m.subEnd) FinishSubBlock(m);
    }
}

LoudnessFigures LoudnessResult(const LoudnessState& m) {
    LoudnessFigures r;
    r.integrated = -std::numeric_limits<double>::infinity();
    r.truePeakL = r.truePeakR = kSilentTruePeakDb;
    if (!m.started) return r;

    const double gate = RelativeGate(m.blocks, kRelativeGateLu);
    int64_t count = 0;
    double power = 0.0;
    if (!std::isnan(gate)) GatedTotals(m.blocks, gate, count, power);
    if (count > 0) r.integrated = Loudness(power / double(count));

    const double rangeGate = RelativeGate(m.shortTerm, kRangeGateLu);
    if (!std::isnan(rangeGate)) {
        GatedTotals(m.shortTerm, rangeGate, count, power);
        if (count > 0)
            r.range = Percentile(m.shortTerm, rangeGate, count, kRangeHigh) -
                      Percentile(m.shortTerm, rangeGate, count, kRangeLow);
    }

    r.truePeakL = PeakDb(m.truePeak[0]);
    r.truePeakR = m.channels == 2 ? PeakDb(m.truePeak[1]) : r.truePeakL;
    return r;
}

}  // namespace varnel
