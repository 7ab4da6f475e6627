// Signals and readers shared by the whole-run tests of effects, reverbs and
// reports: stereo tracks built side by side, one side of a mix read back, the
// amplitude of a tone measured over whole periods, and the report file.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "support/session.hpp"

namespace runsignals {

// Interleaves two equally long sides into stereo frames.
inline std::vector<int32_t> Stereo(const std::vector<int32_t>& left, const std::vector<int32_t>& right) {
    std::vector<int32_t> out;
    out.reserve(left.size() * 2);
    for (size_t i = 0; i < left.size(); ++i) {
        out.push_back(left[i]);
        out.push_back(right[i]);
    }
    return out;
}

inline std::vector<int32_t> Both(const std::vector<int32_t>& side) { return Stereo(side, side); }

// One side (0 left, 1 right) of interleaved stereo samples.
inline std::vector<int32_t> Side(const std::vector<int32_t>& frames, int side) {
    std::vector<int32_t> out;
    for (size_t i = size_t(side); i < frames.size(); i += 2) out.push_back(frames[i]);
    return out;
}

inline std::vector<int32_t> Sine(int frames, double amplitude, double freq, double rate) {
    std::vector<int32_t> s;
    for (int i = 0; i < frames; ++i)
        s.push_back(int32_t(std::lround(amplitude * std::sin(2.0 * std::numbers::pi * freq * i / rate))));
    return s;
}

// Reproducible noise of `count` samples spanning `bits` bits, centred on 0.
inline std::vector<int32_t> Noise(int count, uint32_t seed, int bits) {
    std::vector<int32_t> out;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        out.push_back(int32_t(seed >> (32 - bits)) - (int32_t(1) << (bits - 1)));
    }
    return out;
}

// Amplitude of the tone at `freq` in x[start, start + count), which must hold
// a whole number of its periods (a single-bin discrete Fourier transform).
inline double ToneAmplitude(const std::vector<int32_t>& x, size_t start, size_t count, double freq,
                            double rate) {
    double re = 0.0, im = 0.0;
    for (size_t i = start; i < start + count; ++i) {
        const double w = 2.0 * std::numbers::pi * freq * double(i) / rate;
        re += double(x[i]) * std::cos(w);
        im += double(x[i]) * std::sin(w);
    }
    return 2.0 * std::hypot(re, im) / double(count);
}

// The whole mix, left and right interleaved.
inline std::vector<int32_t> Mix(testsupport::Session& s, const std::string& name = "mix.wav") {
    return testsupport::ReadWavSamples(s.Path(name));
}

// A fader file body: the mix name "mix", time zero, unity faders for
// `channels` channels, then `extra` lines.
inline std::string Faders(int channels, const std::string& extra) {
    std::string f = "begin\nmix\nt\t0\t0\t0\n";
    for (int ch = 1; ch <= channels; ++ch) f += "v\t" + std::to_string(ch) + "\t0\n";
    return f + extra + "end\n";
}

}  // namespace runsignals
