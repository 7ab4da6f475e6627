#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "mixer/utilities/fader_script/automation.hpp"
#include "mixer/utilities/fader_script/fill_vca.hpp"
#include "mixer/utilities/fader_script/playback_init.hpp"
#include "script_fixture.hpp"

using namespace varnel;
using scripttest::DB;
using scripttest::Level;

namespace {

constexpr double kChannelDivisor = 524288.0;  // 2^19

struct Engine : scripttest::FaderEngine {
    Engine() { ctx.trackCount = 2; }
    // Runs `in` (both sides) through the fader of `slot` in blocks from `from`.
    std::vector<int32_t> Play(int slot, const std::vector<int32_t>& in, int64_t from = 0,
                              int polarity = 1, const double* vca = nullptr,
                              const int* members = nullptr) {
        std::vector<int32_t> l = in, r = in;
        for (size_t done = 0; done < in.size(); done += kBlockFrames) {
            int n = int(std::min<size_t>(kBlockFrames, in.size() - done));
            AUTOMATE(st, from + int64_t(done), n, slot, *t, pb, l.data() + done, r.data() + done,
                     polarity, kChannelDivisor, 1.0f, 1.0f, members, vca);
        }
        return l;
    }
};

// +1000, -1000, ...: every sample changes sign, so every sample takes the
// current level.
std::vector<int32_t> Alternating(size_t n) {
    std::vector<int32_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = (i % 2) ? -1000 : 1000;
    return v;
}

// What one sample of 1000 (or -1000) becomes at a level.
int32_t Out(int32_t in, int32_t level) { return int32_t(std::trunc(double(in) * (double(level) / 524288.0))); }

int32_t RampLevel(double fromdB, double todB, double fraction, double shape = 1.0) {
    double dB = fromdB + std::pow(fraction, shape) * (todB - fromdB);
    return int32_t(std::trunc(std::pow(10.0, dB / 20.0) * 134217728.0));
}

}  // namespace

TEST(Automate, StepTakesEffectAtSignChanges) {
    Engine e;
    e.Add(1, 0, Level(0));
    e.Add(1, 1000, Level(-6));
    e.Start();
    auto in = Alternating(2000);
    auto out = e.Play(1, in);
    EXPECT_EQ(out[0], 256000);
    EXPECT_EQ(out[999], -256000);
    EXPECT_EQ(out[1000], Out(1000, Level(-6)));
    EXPECT_EQ(out[1999], Out(-1000, Level(-6)));

    Engine dc;  // a constant input never changes sign: its first gain stays
    dc.Add(1, 0, Level(0));
    dc.Add(1, 1000, Level(-6));
    dc.Start();
    auto flat = dc.Play(1, std::vector<int32_t>(2000, 1000));
    EXPECT_EQ(flat[1999], 256000);
}

TEST(Automate, LinearRampStartMiddleEnd) {
    Engine e;
    e.Add(1, 0, Level(-20));
    e.Add(1, 10000, Level(0), 48000);
    e.Start();
    auto out = e.Play(1, Alternating(70000));
    const double a = DB(Level(-20)), b = DB(Level(0));
    EXPECT_EQ(out[9999], Out(-1000, Level(-20)));
    EXPECT_EQ(out[10000], Out(1000, RampLevel(a, b, 1.0 / 48000)));
    EXPECT_EQ(out[10000 + 23999], Out(-1000, RampLevel(a, b, 0.5)));  // about -10 dB
    EXPECT_EQ(out[10000 + 47998], Out(1000, RampLevel(a, b, 47999.0 / 48000)));
    EXPECT_EQ(out[10000 + 47999], Out(-1000, Level(0)));  // exactly the target
    EXPECT_EQ(out[69999], -256000);
    EXPECT_NEAR(DB(RampLevel(a, b, 0.5)), -10.0, 1e-6);
}

TEST(Automate, ShapedRampAndBlockBoundary) {
    Engine e;
    e.Add(1, 0, Level(-20));
    e.Add(1, 131000, Level(0), 48000, 2.0f);
    e.Start();
    auto out = e.Play(1, Alternating(200000));  // two blocks
    const double a = DB(Level(-20)), b = DB(Level(0));
    for (int s = 131060; s < 131090; ++s)  // no jump across sample 131072
        EXPECT_EQ(out[size_t(s)], Out((s % 2) ? -1000 : 1000, RampLevel(a, b, (s - 131000 + 1) / 48000.0, 2.0)))
            << s;
    EXPECT_EQ(out[131000 + 23999], Out(-1000, RampLevel(a, b, 0.5, 2.0)));
    EXPECT_NEAR(DB(RampLevel(a, b, 0.5, 2.0)), -15.0, 1e-6);
}

TEST(Automate, EntriesSharingATimeAndRampsCutByTheNextEntry) {
    Engine e;
    e.Add(1, 0, Level(0));
    e.Add(1, 100, Level(-6));
    e.Add(1, 100, Level(-12));  // written last: wins
    e.Add(1, 200, Level(0));
    e.Start();
    auto out = e.Play(1, Alternating(300));
    EXPECT_EQ(out[150], Out(1000, Level(-12)));
    EXPECT_EQ(out[250], Out(1000, Level(0)));  // the fader keeps following its table

    Engine cut;  // a ramp cut short: the next entry starts from its own step
    cut.Add(1, 0, Level(0));
    cut.Add(1, 100, Level(-20), 100);
    cut.Add(1, 150, Level(-6));
    cut.Start();
    auto o = cut.Play(1, Alternating(300));
    EXPECT_EQ(o[149], Out(-1000, RampLevel(DB(Level(0)), DB(Level(-20)), 50.0 / 100)));
    EXPECT_EQ(o[150], Out(1000, Level(-6)));
}

TEST(Automate, PolarityAndDivisors) {
    Engine e;
    e.Add(1, 0, Level(0));
    e.Add(128, 0, Level(0));
    e.Start();
    auto inv = e.Play(1, Alternating(4), 0, -1);
    EXPECT_EQ(inv[0], -256000);
    EXPECT_EQ(inv[1], 256000);
    std::vector<int32_t> bus = {2147483647, -2147483647 - 1, 12345, -7};
    std::vector<int32_t> l = bus, r = bus;
    AUTOMATE(e.st, 0, 4, 128, *e.t, e.pb, l.data(), r.data(), 1, 134217728.0, 1.0f, 1.0f, nullptr, nullptr);
    EXPECT_EQ(l, bus);  // a submix at 0 dB leaves bus samples unchanged

    Engine loud;  // products beyond 32 bits saturate
    loud.Add(1, 0, Level(12));
    loud.Start();
    auto sat = loud.Play(1, {8388607, -8388608});
    EXPECT_EQ(sat[0], INT32_MAX);
    EXPECT_EQ(sat[1], INT32_MIN);
}

TEST(Automate, StartOffsetsAndPreview) {
    Engine e;  // offset after every entry: plays the last entry's level
    e.Add(1, 0, Level(0));
    e.Add(1, 500, Level(-6));
    e.offsets[1] = 1000;
    e.Start();
    auto out = e.Play(1, Alternating(2000));
    EXPECT_EQ(out[1500], Out(1000, Level(-6)));

    Engine late;  // track from 30 s, entries at 0 s and 40 s
    late.Add(1, 0, Level(-6));
    late.Add(1, 40 * 48000, Level(0));
    late.offsets[1] = 30 * 48000;
    late.Start();
    auto o = late.Play(1, Alternating(131072), 30 * 48000);
    EXPECT_EQ(o[0], Out(1000, Level(-6)));

    Engine first;  // a first entry at 5 s rules from the start
    first.Add(1, 5 * 48000, Level(-6));
    first.Start();
    EXPECT_EQ(first.Play(1, Alternating(2))[0], Out(1000, Level(-6)));

    Engine pre;  // preview from the middle of a ramp
    pre.Add(1, 0, Level(-20));
    pre.Add(1, 10000, Level(0), 48000);
    pre.Start(10000 + 24000);
    const double a = DB(Level(-20)), b = DB(Level(0));
    EXPECT_EQ(pre.pb.slot[1].applied, RampLevel(a, b, 0.5));
    auto p = pre.Play(1, Alternating(48000), 10000 + 24000);
    EXPECT_EQ(p[0], Out(1000, RampLevel(a, b, 24001.0 / 48000)));
    EXPECT_EQ(p[23999], Out(-1000, Level(0)));
}

TEST(InterpretLevelState, BeforeInsideAndAfterRamps) {
    Engine e;
    e.Add(1, 100, Level(-6));
    e.Add(1, 1000, Level(0), 1000);
    e.t->savedCount = e.t->count;
    struct Case {
        int64_t t;
        int position;
        int32_t applied;
    } cases[] = {{50, 0, Level(-6)}, {500, 1, Level(-6)}, {1000, 1, Level(-6)},
                 {1500, 2, RampLevel(DB(Level(-6)), DB(Level(0)), 0.5)}, {2000, 2, Level(0)}};
    for (const Case& c : cases) {
        FaderState st;
        InterpretLevel(st, e.t->level.data(), e.t->time.data(), e.t->ramp.data(), e.t->shape.data(),
                       2, c.t, 1, 137);
        EXPECT_EQ(st.position, c.position) << c.t;
        EXPECT_EQ(st.applied, c.applied) << c.t;
    }
}

TEST(Vca, CurveAndMemberScaling) {
    Engine e;
    auto& v = *e.vt;
    v.count[2] = 3;
    v.time[0 * 9 + 2] = 0;
    v.level[0 * 9 + 2] = Level(0);
    v.time[1 * 9 + 2] = 100;
    v.level[1 * 9 + 2] = Level(-6);
    v.ramp[1 * 9 + 2] = 100;
    // A ramp up to +6 dB, whose last frame computed in dB would fall a hair short.
    v.time[2 * 9 + 2] = 250;
    v.level[2 * 9 + 2] = Level(6);
    v.ramp[2 * 9 + 2] = 40;
    e.Add(1, 0, Level(0));
    e.Start();
    std::vector<double> gain(9 * size_t(kBlockFrames), 1.0);
    FillVCA(0, 300, 2, v, e.pb, gain.data());
    const double a = DB(Level(0)), b = DB(Level(-6));
    EXPECT_EQ(gain[2 * 300 + 0], 1.0);
    EXPECT_EQ(gain[2 * 300 + 150],
              std::pow(10.0, (a + 51.0 / 100 * (b - a)) / 20.0) * 134217728.0 * (1.0 / 134217728.0));
    EXPECT_EQ(gain[2 * 300 + 199], Level(-6) / 134217728.0);
    EXPECT_EQ(gain[2 * 300 + 249], Level(-6) / 134217728.0);
    EXPECT_EQ(gain[2 * 300 + 289], Level(6) / 134217728.0);
    EXPECT_EQ(gain[2 * 300 + 299], Level(6) / 134217728.0);
    int members[137] = {};
    members[1] = 2;
    auto out = e.Play(1, Alternating(300), 0, 1, gain.data(), members);
    EXPECT_EQ(out[150], int32_t(std::trunc(1000.0 * (256.0 * gain[2 * 300 + 150]))));
    EXPECT_EQ(out[299], int32_t(std::trunc(-1000.0 * (256.0 * gain[2 * 300 + 299]))));
}
