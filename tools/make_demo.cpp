// Writes the demo session's WAV tracks into a directory: a few seconds of
// tones and noise in every input format the mixer reads (16-bit, 24-bit and
// 32-bit float; mono and stereo), so no audio has to be kept in the repo.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kSeconds = 8;
constexpr int kFrames = kRate * kSeconds;
constexpr double kTwoPi = 6.283185307179586;

void Put16(std::string& s, uint32_t v) {
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

bool WriteWav(const std::string& path, int channels, int bits, int tag,
              const std::vector<double>& samples) {
    std::string data;
    for (double x : samples) {
        if (x > 1.0) x = 1.0;
        if (x < -1.0) x = -1.0;
        if (tag == 3) {
            float f = float(x);
            uint32_t u;
            std::memcpy(&u, &f, 4);
            Put32(data, u);
        } else {
            double full = bits == 16 ? 32767.0 : 8388607.0;
            auto v = uint32_t(int32_t(std::lrint(x * full)));
            for (int b = 0; b < bits / 8; ++b) data += char((v >> (8 * b)) & 0xFF);
        }
    }
    std::string h = "RIFF";
    Put32(h, uint32_t(data.size() + 36));
    h += "WAVEfmt ";
    Put32(h, 16);
    Put16(h, uint32_t(tag));
    Put16(h, uint32_t(channels));
    Put32(h, kRate);
    Put32(h, uint32_t(kRate * channels * bits / 8));
    Put16(h, uint32_t(channels * bits / 8));
    Put16(h, uint32_t(bits));
    h += "data";
    Put32(h, uint32_t(data.size()));
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(h.data(), 1, h.size(), f) == h.size() &&
              std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

uint32_t g_seed = 12345;
double Noise() {
    g_seed = g_seed * 1664525u + 1013904223u;
    return double(g_seed >> 8) / double(1u << 24) * 2.0 - 1.0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : ".";
    const double beat = kRate * 0.5;  // 120 bpm
    std::vector<double> bass(2 * size_t(kFrames)), pad(2 * size_t(kFrames));
    std::vector<double> lead(kFrames), hats(kFrames), kick(kFrames);
    const double roots[4] = {55.0, 43.65, 49.0, 41.2};
    for (int i = 0; i < kFrames; ++i) {
        double t = double(i) / kRate;
        int bar = int(i / (4 * beat)) % 4;
        double inBeat = std::fmod(i, beat) / beat;
        double b = 0.25 * std::sin(kTwoPi * roots[bar] * t) + 0.08 * std::sin(kTwoPi * 2 * roots[bar] * t);
        b *= 0.6 + 0.4 * std::exp(-4.0 * inBeat);
        bass[2 * size_t(i)] = b;
        bass[2 * size_t(i) + 1] = b;
        double trem = 0.75 + 0.25 * std::sin(kTwoPi * 0.5 * t);
        double chord = 0;
        for (double ratio : {1.0, 1.26, 1.5}) chord += std::sin(kTwoPi * 4 * roots[bar] * ratio * t);
        pad[2 * size_t(i)] = 0.08 * chord * trem;
        pad[2 * size_t(i) + 1] = 0.08 * chord * (1.5 - trem);
        const double notes[8] = {440, 523.25, 587.33, 659.25, 587.33, 523.25, 493.88, 392};
        int note = int(i / beat) % 8;
        double env = std::min(1.0, inBeat * 50.0) * std::exp(-2.5 * inBeat);
        lead[size_t(i)] = 0.3 * env * std::sin(kTwoPi * notes[note] * t);
        double half = std::fmod(i, beat / 2) / (beat / 2);
        hats[size_t(i)] = 0.2 * Noise() * std::exp(-30.0 * half);
        double k = std::exp(-8.0 * inBeat);
        kick[size_t(i)] = 0.6 * k * std::sin(kTwoPi * (50.0 + 80.0 * k) * inBeat * 0.5);
    }
    bool ok = WriteWav(dir + "/bass.wav", 2, 24, 1, bass) && WriteWav(dir + "/pad.wav", 2, 16, 1, pad) &&
              WriteWav(dir + "/lead.wav", 1, 32, 3, lead) && WriteWav(dir + "/hats.wav", 1, 16, 1, hats) &&
              WriteWav(dir + "/kick.wav", 1, 24, 1, kick);
    if (!ok) {
        std::printf("Could not write the demo tracks into %s\n", dir.c_str());
        return 1;
    }
    std::printf("Demo tracks written into %s\n", dir.c_str());
    return 0;
}
