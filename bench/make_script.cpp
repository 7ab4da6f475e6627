// Writes a session whose fader file is large: 127 channels, each with a level
// entry and a ramp at every time step, and optionally lines of notes between
// them, for timing how long the mixer takes to read a fader file.
//
//   make_script <dir> <steps> <notes-kib>
//
// Creates <dir>/tracks.txt (127 lines naming one 10-minute mono 16-bit WAV at
// 8 kHz, <dir>/t.wav), <dir>/faders.txt and <dir>/prefs.txt (a preview of
// length 0, so a run reads everything and mixes nothing). <steps> is at most
// 512 (a fader holds 512 entries); <notes-kib> kibibytes of note lines are
// spread evenly between the steps.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kChannels = 127;
constexpr int kRate = 8000;
constexpr int kSeconds = 600;

void Put16(std::string& s, uint32_t v) {
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

bool Write(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

std::string Wav() {
    const uint32_t data = uint32_t(kRate) * kSeconds * 2;
    std::string h = "RIFF";
    Put32(h, data + 36);
    h += "WAVEfmt ";
    Put32(h, 16);
    Put16(h, 1);
    Put16(h, 1);
    Put32(h, kRate);
    Put32(h, kRate * 2);
    Put16(h, 2);
    Put16(h, 16);
    h += "data";
    Put32(h, data);
    std::string samples(data, '\0');
    for (uint32_t i = 0; i + 1 < data; i += 2) samples[i] = char((i * 37) & 0x7F);
    return h + samples;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_script <dir> <steps> <notes-kib>\n");
        return 2;
    }
    const std::string dir = argv[1];
    const int steps = std::atoi(argv[2]);
    const long notesBytes = std::atol(argv[3]) * 1024L;
    if (steps < 1 || steps > 512 || notesBytes < 0) {
        std::fprintf(stderr, "make_script: 1 to 512 steps, notes of 0 KiB or more\n");
        return 2;
    }
    std::string tracks = "Load benchmark: one file on every channel.\nbegin\n";
    for (int c = 1; c <= kChannels; ++c) tracks += std::to_string(c) + " t.wav +\n";
    tracks += "end\n";
    const std::string prefs = "begin\nverbo\t1\npre\ton\nstart\t0\t0\t0\nlength\t0\nend\n";

    const std::string note =
        "Note: ride the verse vocal here, watch the sibilance, keep the pad under it\n";
    const long notesPerStep = notesBytes / long(note.size()) / steps;
    std::string faders = "begin\nload_bench\n";
    char line[64];
    for (int k = 0; k < steps; ++k) {
        const double t = double(k) * (kSeconds - 10) / steps;
        const int minutes = int(t / 60);
        const double seconds = t - 60.0 * minutes;
        std::snprintf(line, sizeof line, "t\t%d\t%d\t%d\n", minutes, int(seconds),
                      int((seconds - int(seconds)) * 1000));
        faders += line;
        for (int c = 1; c <= kChannels; ++c) {
            std::snprintf(line, sizeof line, "v\t%d\t%.1f\n", c, -3.0 - double((c * 7 + k * 3) % 20));
            faders += line;
            if (k > 0) faders += "rmp\t0.25\n";
        }
        for (long n = 0; n < notesPerStep; ++n) faders += note;
    }
    faders += "end\n";
    if (!Write(dir + "/tracks.txt", tracks) || !Write(dir + "/prefs.txt", prefs) ||
        !Write(dir + "/faders.txt", faders) || !Write(dir + "/t.wav", Wav())) {
        std::fprintf(stderr, "make_script: cannot write into %s\n", dir.c_str());
        return 1;
    }
    std::printf("%s/faders.txt: %zu bytes\n", dir.c_str(), faders.size());
    return 0;
}
