// Writes the standard benchmark workload: 16 stereo 24-bit 48 kHz tracks of
// tones and noise peaking near -12 dBFS, and one session directory per mix
// variant (level only, scripted ramps, full effect chains, the level-only mix
// at a loudness target, the level-only mix with its HTML report), plus the remix arguments that give a general-purpose
// tool the same level-only mix.
//
//   make_workload <dir> <seconds>
//
// Creates <dir>/audio<seconds>/t01.wav .. t16.wav (kept when already there
// with the right size) and <dir>/{level,script,effects,target,html}<seconds>/ with
// tracks.txt, faders.txt and prefs.txt, the level and effects sessions again
// with "threads 0" as <dir>/{level,effects}_t0_<seconds>/; writes
// <dir>/remix<seconds>.txt.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kTracks = 16;
constexpr int kRate = 48000;
constexpr int kChannels = 2;
constexpr int kBytesPerSample = 3;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kFullScale = 8388607.0;

struct Mix {
    double levelDb[kTracks + 1];
    int pan[kTracks + 1];
};

// Every track gets its own level and pan; the spread covers both sides.
Mix StandardMix() {
    Mix m{};
    for (int k = 1; k <= kTracks; ++k) {
        m.levelDb[k] = -3.0 - double((k * 7) % 10);  // -3 .. -12 dB
        m.pan[k] = ((k * 37) % 121) - 60;             // -60 .. 60
    }
    return m;
}

void Put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

// Canonical 44-byte PCM header.
void WavHeader(uint8_t* h, int64_t frames) {
    const uint32_t data = uint32_t(frames * kChannels * kBytesPerSample);
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, data + 36);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    Put16(h + 20, 1);
    Put16(h + 22, kChannels);
    Put32(h + 24, kRate);
    Put32(h + 28, kRate * kChannels * kBytesPerSample);
    Put16(h + 32, kChannels * kBytesPerSample);
    Put16(h + 34, 8 * kBytesPerSample);
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, data);
}

// A tone that advances by rotation, so no sine is computed per sample.
struct Osc {
    double c = 1, s = 0, dc = 1, ds = 0;
    explicit Osc(double hz) : dc(std::cos(kTwoPi * hz / kRate)), ds(std::sin(kTwoPi * hz / kRate)) {}
    double Next() {
        double v = s;
        double nc = c * dc - s * ds;
        s = s * dc + c * ds;
        c = nc;
        return v;
    }
    void Renormalise() {
        double r = std::sqrt(c * c + s * s);
        c /= r;
        s /= r;
    }
};

bool WriteTrack(const std::string& path, int k, int64_t frames) {
    const double base = 55.0 * std::pow(2.0, double((k * 5) % 24) / 12.0);
    Osc toneL(base), toneR(base * 1.003), over(base * 3.01), wobble(0.25 + 0.07 * k);
    uint32_t seed = 0x9E3779B9u * uint32_t(k);
    auto noise = [&] {
        seed = seed * 1664525u + 1013904223u;
        return double(int32_t(seed)) / 2147483648.0;
    };
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    uint8_t h[44];
    WavHeader(h, frames);
    bool ok = std::fwrite(h, 1, 44, f) == 44;
    std::vector<uint8_t> buf(size_t(kRate) * kChannels * kBytesPerSample);
    double lp = 0;
    for (int64_t done = 0; ok && done < frames; done += kRate) {
        const int64_t n = std::min<int64_t>(kRate, frames - done);
        uint8_t* p = buf.data();
        for (int64_t i = 0; i < n; ++i) {
            // Peaks stay just under 0.25 (-12 dBFS): 0.12 + 0.06 + 0.06.
            const double env = 0.5 + 0.5 * wobble.Next();
            const double o = 0.06 * env * over.Next();
            lp += 0.2 * (noise() - lp);
            const double l = 0.12 * toneL.Next() + o + 0.06 * lp;
            const double r = 0.12 * toneR.Next() + o + 0.06 * noise() * env;
            for (double x : {l, r}) {
                const uint32_t v = uint32_t(int32_t(std::lrint(x * kFullScale)));
                p[0] = uint8_t(v);
                p[1] = uint8_t(v >> 8);
                p[2] = uint8_t(v >> 16);
                p += 3;
            }
        }
        for (Osc* o : {&toneL, &toneR, &over, &wobble}) o->Renormalise();
        ok = std::fwrite(buf.data(), 1, size_t(n) * kChannels * kBytesPerSample, f) ==
             size_t(n) * kChannels * kBytesPerSample;
    }
    return std::fclose(f) == 0 && ok;
}

bool WriteText(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

std::string Num(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%g", v);
    return b;
}

std::string TimeLine(double seconds) {
    int m = int(seconds / 60);
    double s = seconds - 60.0 * m;
    return "t\t" + std::to_string(m) + "\t" + Num(std::floor(s)) + "\t" +
           std::to_string(int(std::lround((s - std::floor(s)) * 1000))) + "\n";
}

std::string LevelsAndPans(const Mix& m) {
    std::string t = TimeLine(0);
    for (int k = 1; k <= kTracks; ++k) t += "v\t" + std::to_string(k) + "\t" + Num(m.levelDb[k]) + "\n";
    for (int k = 1; k <= kTracks; ++k) t += "p\t" + std::to_string(k) + "\t" + std::to_string(m.pan[k]) + "\n";
    return t;
}

// Four ramps per track spread over the song: down, back up, a fade with a
// curved shape, and back again.
std::string Ramps(const Mix& m, double seconds) {
    std::string t;
    const double at[4] = {0.15, 0.4, 0.6, 0.85};
    const double move[4] = {-6, 0, -10, 0};
    for (int r = 0; r < 4; ++r) {
        t += TimeLine(std::floor(seconds * at[r]));
        for (int k = 1; k <= kTracks; ++k) {
            t += "v\t" + std::to_string(k) + "\t" + Num(m.levelDb[k] + move[r]) + "\n";
            t += "rmp\t" + Num(1.0 + 0.25 * (k % 4)) + "\n";
            if (r == 2) t += "shape\t2\n";
        }
    }
    return t;
}

std::string Chain(const std::string& d) {
    return "hp\t" + d + "\t40\n" + "band1\t" + d + "\t120\t2\t0.8\n" + "band2\t" + d +
           "\t600\t-3\t1.2\n" + "band3\t" + d + "\t2500\t1.5\t1\n" + "band4\t" + d +
           "\t9000\t-2\t0.7\n" + "rms\t" + d + "\t-20\t10\t200\t3\n" + "lim\t" + d + "\t-1\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_workload <dir> <seconds>\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path dir = argv[1];
    const int seconds = std::atoi(argv[2]);
    if (seconds < 10) {
        std::fprintf(stderr, "make_workload: at least 10 seconds\n");
        return 2;
    }
    const int64_t frames = int64_t(seconds) * kRate;
    const std::string tag = std::to_string(seconds);
    const fs::path audio = dir / ("audio" + tag);
    fs::create_directories(audio);
    const uintmax_t size = 44 + uintmax_t(frames) * kChannels * kBytesPerSample;
    for (int k = 1; k <= kTracks; ++k) {
        char name[16];
        std::snprintf(name, sizeof name, "t%02d.wav", k);
        const fs::path p = audio / name;
        std::error_code ec;
        if (fs::file_size(p, ec) == size) continue;
        if (!WriteTrack(p.string(), k, frames)) {
            std::fprintf(stderr, "make_workload: cannot write %s\n", p.c_str());
            return 1;
        }
    }

    const Mix m = StandardMix();
    std::string tracks = "Benchmark track list.\nbegin\n";
    for (int k = 1; k <= kTracks; ++k) {
        char line[64];
        std::snprintf(line, sizeof line, "%d ../audio%s/t%02d.wav +\n", k, tag.c_str(), k);
        tracks += line;
    }
    tracks += "end\n";
    const std::string prefs = "Benchmark preferences.\nbegin\nverbo\t1\npre\toff\noutbits\t24\ndither\t1\nend\n";
    // The same with the channel pass on one thread per core.
    const std::string threadedPrefs =
        "Benchmark preferences.\nbegin\nverbo\t1\npre\toff\noutbits\t24\ndither\t1\nthreads\t0\nend\n";
    // The level-only mix delivered at a loudness target: two passes.
    const std::string targetPrefs =
        "Benchmark preferences.\nbegin\nverbo\t1\npre\toff\noutbits\t24\ndither\t1\nlufs\t-16\n"
        "tpmax\t-1\nend\n";
    // The level-only mix with the HTML report on.
    const std::string htmlPrefs =
        "Benchmark preferences.\nbegin\nverbo\t1\npre\toff\noutbits\t24\ndither\t1\nhtml\ton\nend\n";
    struct Variant {
        const char* name;
        std::string body;
        const std::string& prefs;
    };
    std::string fx;
    for (int k = 1; k <= kTracks; ++k) fx += Chain(std::to_string(k));
    fx += Chain("M");
    const Variant variants[] = {
        {"level", LevelsAndPans(m), prefs},
        {"script", LevelsAndPans(m) + Ramps(m, seconds), prefs},
        {"effects", LevelsAndPans(m) + fx, prefs},
        {"level_t0_", LevelsAndPans(m), threadedPrefs},
        {"effects_t0_", LevelsAndPans(m) + fx, threadedPrefs},
        {"target", LevelsAndPans(m), targetPrefs},
        {"html", LevelsAndPans(m), htmlPrefs},
    };
    for (const Variant& v : variants) {
        const fs::path s = dir / (std::string(v.name) + tag);
        fs::create_directories(s);
        const std::string faders = "begin\nbench_" + std::string(v.name) + "\n" + v.body + "end\n";
        if (!WriteText((s / "tracks.txt").string(), tracks) ||
            !WriteText((s / "prefs.txt").string(), v.prefs) ||
            !WriteText((s / "faders.txt").string(), faders)) {
            std::fprintf(stderr, "make_workload: cannot write session %s\n", s.c_str());
            return 1;
        }
    }

    // The same level-only mix as remix arguments: input channels 2k-1 and 2k
    // are track k; balance pan scales the far side down linearly.
    std::string left, right;
    for (int k = 1; k <= kTracks; ++k) {
        const double g = std::pow(10.0, m.levelDb[k] / 20.0);
        const double gl = m.pan[k] > 0 ? g * (100 - m.pan[k]) / 100.0 : g;
        const double gr = m.pan[k] < 0 ? g * (100 + m.pan[k]) / 100.0 : g;
        char b[64];
        std::snprintf(b, sizeof b, "%s%dv%.6f", k > 1 ? "," : "", 2 * k - 1, gl);
        left += b;
        std::snprintf(b, sizeof b, "%s%dv%.6f", k > 1 ? "," : "", 2 * k, gr);
        right += b;
    }
    if (!WriteText((dir / ("remix" + tag + ".txt")).string(), left + " " + right + "\n")) return 1;
    return 0;
}
