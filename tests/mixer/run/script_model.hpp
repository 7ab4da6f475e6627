// The gain arithmetic of the mix script written out from its formulas, for
// whole-run tests that predict every output sample of the built mixer.
// Nothing here calls the mixer's own code.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace scriptmodel {

constexpr double kUnity = 134217728.0;      // level of 0 dB (2^27)
constexpr double kChannelDiv = 524288.0;    // 2^19: 0 dB lifts a channel by 256
constexpr double kBusDiv = 134217728.0;     // 2^27: 0 dB is unity on a bus
constexpr int32_t kAmp = 4194304;           // test signal amplitude, half of 24-bit full scale

// trunc(10^(dB/20) x 2^27)
inline int32_t Level(double dB) { return int32_t(std::trunc(std::pow(10.0, dB / 20.0) * kUnity)); }
// 20 log10(level / 2^27), -144 for silence
inline double DB(int32_t level) {
    return level == 0 ? -144.0 : 20.0 * std::log10(double(level) / kUnity);
}

// Automatic ramp length between two levels at `dbps` decibels a second.
inline int64_t AutoRamp(int32_t from, int32_t to, int rate, double dbps = 192.0) {
    return int64_t(std::trunc(std::fabs(DB(to) - DB(from)) * (double(rate) / dbps)));
}

struct Entry {
    int64_t time;
    int32_t level;
    int64_t ramp;  // as stored after automatic ramps and ramp limiting
    float shape = 1.0f;
};

// Decibels reached `p` samples into the ramp of entry k (progress counts
// from 1 on the entry's own sample).
inline double RampdB(const std::vector<Entry>& e, size_t k, int64_t p) {
    const int64_t n = std::max<int64_t>(e[k].ramp, 1);
    const double start = DB(e[k - 1].level), delta = DB(e[k].level) - start;
    if (e[k].shape == 1.0f) return start + double(p) * (delta / double(n));
    return start + std::pow(double(p) / double(n), double(e[k].shape)) * delta;
}

// The level a fader has at sample s when its input changes sign on every
// sample, so every sample recomputes the gain. Entries in ascending time.
inline int32_t LevelAt(const std::vector<Entry>& e, int64_t s) {
    size_t k = 0;
    bool any = false;
    for (size_t i = 0; i < e.size(); ++i)
        if (e[i].time <= s) k = i, any = true;
    if (!any || k == 0) return e[0].level;
    const int64_t n = std::max<int64_t>(e[k].ramp, 1);
    const int64_t p = s - e[k].time + 1;
    if (p >= n || e[k].level == e[k - 1].level) return e[k].level;
    return Level(RampdB(e, k, p));
}

// A VCA's curve, sample by sample from `from` for `count` samples: a plain
// ratio recomputed on every ramp sample from the unrounded level; it holds
// once the truncated level has met the target.
inline std::vector<double> VcaCurve(const std::vector<Entry>& e, int64_t count) {
    std::vector<double> out;
    int32_t applied = e.empty() ? 0 : e[0].level, target = applied;
    size_t pos = 0, cur = 0;
    int64_t progress = 0;
    for (int64_t s = 0; s < count; ++s) {
        while (pos < e.size() && e[pos].time <= s) {
            target = e[pos].level;
            cur = pos++;
            progress = 0;
        }
        if (e.empty()) {
            out.push_back(0.0);
            continue;
        }
        if (applied == target) {
            out.push_back(double(target) * 7.450580596923828e-09);
            continue;
        }
        const int64_t n = std::max<int64_t>(e[cur].ramp, 1);
        if (progress < n) ++progress;
        double level = progress >= n ? double(target)
                                     : std::pow(10.0, RampdB(e, cur, progress) / 20.0) * kUnity;
        out.push_back(level * 7.450580596923828e-09);
        applied = int32_t(std::trunc(level));
    }
    return out;
}

// Fader gain of one side: (polarity x level) x pan gain / divisor.
inline double Gain(int32_t level, float pan, double divisor, int polarity = 1) {
    return double(int32_t(polarity * level)) * double(pan) / divisor;
}

inline int32_t Scale(int32_t x, double gain) { return int32_t(std::trunc(double(x) * gain)); }

// 24-bit output of a bus-scale master sample without dither: toward zero.
inline int32_t Out24(int64_t master) { return int32_t(master / 256); }

// Stereo 24-bit test signal whose sign alternates on every frame; the right
// side is the left at -3/4 so that the two sides are told apart.
inline std::vector<int32_t> Alternating(int frames, int32_t amp = kAmp) {
    std::vector<int32_t> s;
    s.reserve(size_t(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        int32_t v = (i % 2 == 0) ? amp : -amp;
        s.push_back(v);
        s.push_back(-(v / 4) * 3);
    }
    return s;
}

}  // namespace scriptmodel
