#include "mixer/run/input_stage.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "support/test_support.hpp"

using namespace varnel;
using testsupport::TempDir;

namespace {

// A stage with channel 1 opened on `path`, track start 0.
struct Stage {
    std::unique_ptr<InputStage> st = std::make_unique<InputStage>();
    std::vector<int32_t> L = std::vector<int32_t>(kBlockFrames, -7);
    std::vector<int32_t> R = std::vector<int32_t>(kBlockFrames, -7);

    explicit Stage(const std::string& path) {
        AllocateInputStage(*st);
        TrackHeaders h;
        testing::internal::CaptureStdout();
        int usable = GET_ATTRIBUTES(1, path, h);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(usable, 1);
        EXPECT_TRUE(OpenChannelFile(*st, 1, path, h));
    }
    ~Stage() { CloseInputFiles(*st); }

    void Read(int64_t s, int n, double panLaw = 3.0) {
        int h = n > 255 ? n - 256 : n;
        ReadChannelBlock(*st, 1, s, n, h, panLaw, L.data(), R.data());
    }
    bool Silent(int from, int to) const {
        for (int i = from; i < to; ++i)
            if (L[i] != 0 || R[i] != 0) return false;
        return true;
    }
    void SetPan(int p, int dp, uint32_t rate = 44100) {
        st->pan[1] = p;
        st->delayPan[1] = dp;
        st->delayFrames[1] = ComputeDelayFrames(p, rate);
    }
};

// Frame i of a ramp track holds i + 1.
std::vector<int32_t> Ramp(int frames, int channels, int step) {
    std::vector<int32_t> v;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) v.push_back((i + 1) * (c ? -step : step));
    return v;
}

}  // namespace

TEST(InputStage, DecodesEachFormat) {
    TempDir dir;
    struct Case { int channels, bits; std::vector<int32_t> raw; std::vector<int32_t> L, R; };
    const Case cases[] = {
        {2, 16, {0x7FFF, -32768, -1, 1}, {8388352, -256}, {-8388608, 256}},
        {2, 24, {8388607, -8388608, 0x123456, -2}, {8388607, 0x123456}, {-8388608, -2}},
        {1, 16, {0x7FFF, -32768}, {8388352, -8388608}, {8388352, -8388608}},
        {1, 24, {-8388608, 8388607}, {-8388608, 8388607}, {-8388608, 8388607}},
    };
    for (const Case& c : cases) {
        std::string path = dir.file("pcm.wav");
        testsupport::WriteWavPcm(path, 44100, c.channels, c.bits, c.raw);
        Stage s(path);
        s.Read(0, 2);
        EXPECT_EQ(std::vector<int32_t>(s.L.begin(), s.L.begin() + 2), c.L) << c.bits;
        EXPECT_EQ(std::vector<int32_t>(s.R.begin(), s.R.begin() + 2), c.R) << c.bits;
    }
    for (int channels : {1, 2}) {
        std::string path = dir.file("float.wav");
        std::vector<float> raw = {1.0f, -0.5f, 0.1f, -1.0f};
        testsupport::WriteWavFloat(path, 44100, channels, raw);
        Stage s(path);
        s.Read(0, 2);
        if (channels == 2) {
            EXPECT_EQ(s.L[0], 8388608);
            EXPECT_EQ(s.R[0], -4194304);
            EXPECT_EQ(s.L[1], 838860);
            EXPECT_EQ(s.R[1], -8388608);
        } else {
            EXPECT_EQ(s.L[0], 8388608);
            EXPECT_EQ(s.R[0], 8388608);
            EXPECT_EQ(s.L[1], -4194304);
            EXPECT_EQ(s.R[1], -4194304);
        }
    }
}

// Every frame of a 24-bit stereo track, whatever its position in the
// decoder's groups and read pieces: values with every byte pattern, a start
// that leaves an odd number of frames and pieces of 8192 frames crossed.
TEST(InputStage, Stereo24EveryFrameAcrossPieces) {
    TempDir dir;
    std::string path = dir.file("s24.wav");
    std::vector<int32_t> raw;
    uint32_t seed = 7;
    const int frames = 20011;
    for (int i = 0; i < 2 * frames; ++i) {
        seed = seed * 1103515245u + 12345u;
        const int32_t v = int32_t(seed >> 8) - 8388608;   // the whole 24-bit range
        raw.push_back(i < 4 ? (i % 2 ? -8388608 : 8388607) : v);
    }
    testsupport::WriteWavPcm(path, 48000, 2, 24, raw);
    Stage s(path);
    s.st->trackStart[1] = 3;
    s.Read(0, frames + 3);
    for (int i = 0; i < frames; ++i) {
        ASSERT_EQ(s.L[size_t(i) + 3], raw[2 * size_t(i)]) << i;
        ASSERT_EQ(s.R[size_t(i) + 3], raw[2 * size_t(i) + 1]) << i;
    }
    EXPECT_TRUE(s.Silent(0, 3));
}

TEST(InputStage, TrackStartingInsideTheBlock) {
    TempDir dir;
    std::string path = dir.file("late.wav");
    testsupport::WriteWavPcm(path, 44100, 2, 16, Ramp(5000, 2, 1));
    Stage s(path);
    s.st->trackStart[1] = 1000;
    s.Read(0, 2000);
    EXPECT_TRUE(s.Silent(0, 1000));
    EXPECT_EQ(s.L[1000], 256);
    EXPECT_EQ(s.R[1000], -256);
    EXPECT_EQ(s.L[1999], 1000 * 256);
    EXPECT_EQ(s.R[1999], -1000 * 256);
    EXPECT_EQ(s.L[2000], -7);  // nothing written past the block
    EXPECT_EQ(s.st->active[1], 1);
    // The next block continues from the track's frame 1000.
    s.Read(2000, 2000);
    EXPECT_EQ(s.L[0], 1001 * 256);
    // A track starting in the last frames of a full block reads only those.
    s.st->trackStart[1] = kBlockFrames - 3;
    s.Read(0, kBlockFrames);
    EXPECT_EQ(s.L[kBlockFrames - 4], 0);
    EXPECT_EQ(s.L[kBlockFrames - 3], 256);
    EXPECT_EQ(s.L[kBlockFrames - 1], 3 * 256);
}

TEST(InputStage, TrackEndingInsideTheBlock) {
    TempDir dir;
    std::string path = dir.file("short.wav");
    testsupport::WriteWavPcm(path, 44100, 1, 24, Ramp(300, 1, 1));
    Stage s(path);
    s.st->trackStart[1] = 100;
    s.st->trackLength[1] = 250;  // the data chunk ends before the file does
    s.Read(0, 1000);
    EXPECT_EQ(s.L[99], 0);
    EXPECT_EQ(s.L[100], 1);
    EXPECT_EQ(s.R[349], 250);
    EXPECT_TRUE(s.Silent(350, 1000));
    EXPECT_EQ(s.st->active[1], 0);
}

TEST(InputStage, ShortReadLeavesSilence) {
    TempDir dir;
    std::string path = dir.file("cut.wav");
    testsupport::WriteWavPcm(path, 44100, 2, 24, Ramp(300, 2, 1));
    Stage s(path);
    s.st->trackLength[1] = 100000;  // the file holds fewer frames than the track claims
    std::fill(s.st->scratch.bytes.begin(), s.st->scratch.bytes.end(), 0x55);
    s.Read(0, 1000);
    EXPECT_EQ(s.L[299], 300);
    EXPECT_TRUE(s.Silent(300, 1000));
    EXPECT_EQ(s.st->active[1], 1);
}

TEST(InputStage, DelayFrames) {
    struct Case { int pan; uint32_t rate; int d; };
    // k = rate x 8.5 / 13560: 27.64 at 44100, 30.09 at 48000, 120.35 at 192000.
    const Case cases[] = {{50, 44100, 13},   {-50, 44100, -13}, {100, 44100, 27},
                          {-100, 44100, -27}, {0, 44100, 0},    {1, 44100, 0},
                          {-100, 48000, -30}, {100, 192000, 120}, {100, 384000, 240}};
    for (const Case& c : cases) EXPECT_EQ(ComputeDelayFrames(c.pan, c.rate), c.d) << c.pan;
}

TEST(InputStage, DelayPanCarriesHistoryAcrossBlocks) {
    TempDir dir;
    std::string path = dir.file("mono.wav");
    testsupport::WriteWavPcm(path, 44100, 1, 24, Ramp(2000, 1, 1));
    for (int p : {50, -50}) {
        Stage s(path);
        s.SetPan(p, p);
        ASSERT_EQ(s.st->delayFrames[1], p > 0 ? 13 : -13);
        std::vector<int32_t>& near = p > 0 ? s.R : s.L;
        std::vector<int32_t>& far = p > 0 ? s.L : s.R;
        s.Read(0, 1000);
        for (int i = 0; i < 1000; ++i) {
            ASSERT_EQ(near[i], i + 1);
            ASSERT_EQ(far[i], i < 13 ? 0 : i + 1 - 13) << i;
        }
        s.Read(1000, 1000);
        // The far side is the near side 13 frames earlier, the first 13 frames
        // taken from the end of the previous block.
        for (int i = 0; i < 1000; ++i) {
            ASSERT_EQ(near[i], 1000 + i + 1);
            ASSERT_EQ(far[i], 1000 + i + 1 - 13) << i;
        }
    }
}

TEST(InputStage, HardPanAndCentre) {
    TempDir dir;
    std::string path = dir.file("mono.wav");
    testsupport::WriteWavPcm(path, 44100, 1, 16, Ramp(600, 1, 1));
    struct Case { int p; int32_t l, r; };  // frame 10 holds 11 x 256
    const Case cases[] = {{100, 0, 11 * 256}, {-100, 11 * 256, 0}, {0, 11 * 256, 11 * 256}};
    for (const Case& c : cases) {
        Stage s(path);
        s.SetPan(c.p, 0);
        s.Read(0, 600, 0.0);  // pan law 0.0: every mono track is delay-panned
        EXPECT_EQ(s.L[10], c.l) << c.p;
        EXPECT_EQ(s.R[10], c.r) << c.p;
    }
    // With a pan law set and no "dp", both sides carry the sample.
    Stage s(path);
    s.SetPan(100, 0);
    s.Read(0, 600, 3.0);
    EXPECT_EQ(s.L[10], 11 * 256);
    EXPECT_EQ(s.R[10], 11 * 256);
}

TEST(InputStage, ShortLastBlockKeepsNoHistory) {
    TempDir dir;
    std::string path = dir.file("mono.wav");
    testsupport::WriteWavPcm(path, 44100, 1, 24, Ramp(2000, 1, 1));
    Stage s(path);
    s.SetPan(50, 50);
    s.Read(0, 1000);
    std::vector<int32_t> before = s.st->historyR;
    s.Read(1000, 200);
    EXPECT_EQ(s.st->historyR, before);
    EXPECT_EQ(s.L[0], 1000 + 1 - 13);
}

TEST(InputStage, OpenInputFilesDropsMissingFiles) {
    TempDir dir;
    std::string good = dir.file("good.wav");
    testsupport::WriteWavPcm(good, 44100, 2, 16, Ramp(10, 2, 1));
    TrackHeaders h;
    testing::internal::CaptureStdout();
    GET_ATTRIBUTES(1, good, h);
    GET_ATTRIBUTES(3, good, h);
    testing::internal::GetCapturedStdout();
    auto st = std::make_unique<InputStage>();
    AllocateInputStage(*st);
    std::vector<int> enabled(kChannelTable, 0);
    std::vector<std::string> paths(kChannelTable);
    enabled[1] = enabled[3] = 1;
    paths[1] = good;
    paths[3] = dir.file("gone.wav");
    testing::internal::CaptureStdout();
    OpenInputFiles(*st, h, 3, enabled, paths);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Cannot find file in track list called " + paths[3] + "!!\n");
    EXPECT_EQ(enabled[1], 1);
    EXPECT_EQ(enabled[3], 0);
    EXPECT_EQ(st->active[1], 1);
    EXPECT_EQ(st->active[3], 0);
    EXPECT_EQ(st->trackLength[1], 10);
    CloseInputFiles(*st);
    EXPECT_EQ(st->file[1], nullptr);
}
