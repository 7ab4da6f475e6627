// AUTOMATE's steady path must give what the plain sample loop gives, bit for
// bit, in the samples and in the state carried to the next block.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "mixer/utilities/fader_script/automation.hpp"
#include "mixer/utilities/fader_script/playback_init.hpp"
#include "script_fixture.hpp"

using namespace varnel;
using scripttest::Level;

namespace {

struct Entry {
    int32_t time, level, ramp;
    float shape;
};

struct PathCase {
    const char* name;
    std::vector<Entry> entries;
    int polarity;
    float panL, panR;
    double divisor;
    int32_t amplitude;  // peak of the test signal
    int64_t from;       // first sample played
};

constexpr int kSlot = 1;

// A slow tone with a little wobble: long runs of one sign, so a side can
// go thousands of samples before its next sign change.
std::vector<int32_t> Signal(size_t n, int32_t amplitude, double hz, double phase) {
    std::vector<int32_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = int32_t(amplitude * std::sin(phase + 6.283185307179586 * hz * double(i) / 48000.0));
    return v;
}

// Plays the case in blocks of `block` frames with the steady path on or off;
// returns left then right, followed by a dump of the carried state.
std::vector<int32_t> Play(const PathCase& c, bool steady, int block, size_t frames) {
    scripttest::FaderEngine p;
    p.ctx.trackCount = 1;
    for (const Entry& e : c.entries) p.Add(kSlot, e.time, e.level, e.ramp, e.shape);
    p.Start(c.from);
    std::vector<int32_t> l = Signal(frames, c.amplitude, 37.0, 0.3);
    std::vector<int32_t> r = Signal(frames, c.amplitude, 3.0, 2.0);
    for (size_t done = 0; done < frames; done += size_t(block)) {
        int n = int(std::min<size_t>(size_t(block), frames - done));
        AutomateBlock(p.st, c.from + int64_t(done), n, kSlot, *p.t, p.pb, l.data() + done,
                      r.data() + done, c.polarity, c.divisor, c.panL, c.panR, nullptr, nullptr,
                      steady);
    }
    std::vector<int32_t> out = l;
    out.insert(out.end(), r.begin(), r.end());
    const FaderState& f = p.pb.slot[kSlot];
    int32_t words[8];
    std::memcpy(words, &p.st.ApplyLeft[kSlot], 8);
    std::memcpy(words + 2, &p.st.ApplyRight[kSlot], 8);
    words[4] = p.st.OldPolarL[kSlot];
    words[5] = p.st.OldPolarR[kSlot];
    words[6] = f.applied;
    words[7] = int32_t(f.progress);
    out.insert(out.end(), words, words + 8);
    out.push_back(f.position);
    return out;
}

}  // namespace

TEST(AutomatePaths, SteadyPathMatchesSampleLoop) {
    const float h = 0.5f;
    const std::vector<PathCase> cases = {
        {"one entry", {{0, Level(-6), 0, 1.0f}}, 1, 1.0f, 1.0f, 524288.0, 1 << 22, 0},
        {"step mid block", {{0, Level(0), 0, 1.0f}, {70000, Level(-9), 0, 1.0f}}, 1, 1.0f, h,
         524288.0, 1 << 22, 0},
        {"ramp across blocks", {{0, Level(-3), 0, 1.0f}, {100000, Level(-20), 90000, 1.0f}}, 1, h,
         1.0f, 524288.0, 1 << 22, 0},
        {"shaped ramp, inverted", {{0, Level(-3), 0, 1.0f}, {5000, Level(6), 20000, 2.0f}}, -1,
         1.0f, 0.25f, 524288.0, 1 << 22, 0},
        {"silence then up", {{0, 0, 0, 1.0f}, {30000, Level(0), 4000, 1.0f}}, 1, 1.0f, 1.0f,
         524288.0, 1 << 22, 0},
        {"gain that clips", {{0, Level(12), 0, 1.0f}}, 1, 1.0f, 1.0f, 524288.0, 8000000, 0},
        {"bus divisor", {{0, Level(-1), 0, 1.0f}, {200000, Level(2), 1000, 0.5f}}, 1, h, h,
         134217728.0, 1 << 30, 0},
        {"entries close together",
         {{0, Level(-3), 0, 1.0f},
          {10000, Level(-6), 500, 1.0f},
          {10600, Level(0), 0, 1.0f},
          {10601, Level(-2), 0, 1.0f},
          {50000, Level(-12), 3000, 0.5f}},
         1, 1.0f, h, 524288.0, 1 << 22, 0},
        {"starting late", {{0, Level(-6), 0, 1.0f}, {150000, Level(0), 60000, 1.0f}}, 1, 1.0f,
         1.0f, 524288.0, 1 << 22, 170000},
    };
    const size_t frames = 3 * size_t(kBlockFrames) + 1234;
    for (const PathCase& c : cases)
        for (int block : {kBlockFrames, 4096, 1}) {
            if (block == 1 && c.from != 0) continue;  // one-frame blocks: a single case is enough
            SCOPED_TRACE(std::string(c.name) + ", block " + std::to_string(block));
            const size_t len = block == 1 ? 50000 : frames;
            EXPECT_EQ(Play(c, true, block, len), Play(c, false, block, len));
        }
}
