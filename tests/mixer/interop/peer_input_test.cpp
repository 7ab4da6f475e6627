// WAV files written by other tools are read as they decode them: 16-bit,
// 24-bit and 32-bit float, mono and stereo, extensible headers, and LIST,
// bext and JUNK chunks before the samples.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "mixer/run/input_stage.hpp"
#include "mixer/utilities/wav/wav_reader.hpp"
#include "mixer/interop/peer_tools.hpp"
#include "support/test_support.hpp"

using peertools::FileHas;
using peertools::Have;
using peertools::RunShell;

namespace {

struct PeerFile {
    const char* tool;     // "sox" or "ffmpeg"
    int bits;             // 16, 24, 32 (float)
    int channels;
    const char* options;  // extra options of the writer
    const char* chunk;    // a chunk the file must carry before its samples, or ""
};

// A 0.05 s chord at 44.1 kHz, loud enough to use the top bits.
std::string MakeCommand(const PeerFile& c, const std::string& path) {
    const std::string enc = c.bits == 32 ? "-e floating-point" : "-e signed-integer";
    if (std::string(c.tool) == "sox")
        return "sox -n -r 44100 -b " + std::to_string(c.bits) + " " + enc + " -c " +
               std::to_string(c.channels) + " " + c.options + " '" + path +
               "' synth 0.05 sine 440 sine 1234 vol 0.9 2>/dev/null";
    const std::string codec = c.bits == 16 ? "pcm_s16le" : c.bits == 24 ? "pcm_s24le" : "pcm_f32le";
    return "ffmpeg -loglevel error -y -f lavfi -i 'sine=f=440:d=0.05:sample_rate=44100' -ac " +
           std::to_string(c.channels) + " -c:a " + codec + " " + c.options + " '" + path + "'";
}

// Every sample of channel 1 through the header reader and the input stage,
// interleaved as the file holds them, at the channel scale (2^23).
std::vector<int32_t> DecodeOurs(const std::string& path, varnel::TrackHeaders& h) {
    using namespace varnel;
    std::vector<int32_t> out;
    if (GET_ATTRIBUTES(1, path, h) != 1) return out;
    auto st = std::make_unique<InputStage>();
    AllocateInputStage(*st);
    if (!OpenChannelFile(*st, 1, path, h)) return out;
    const int64_t frames = h.length[1];
    std::vector<int32_t> L(kBlockFrames), R(kBlockFrames);
    for (int64_t s = 0; s < frames; s += kBlockFrames) {
        int n = int(std::min<int64_t>(kBlockFrames, frames - s));
        ReadChannelBlock(*st, 1, s, n, n > 255 ? n - 256 : n, 3.0, L.data(), R.data());
        for (int i = 0; i < n; ++i) {
            out.push_back(L[size_t(i)]);
            if (h.channels[1] == 2) out.push_back(R[size_t(i)]);
        }
    }
    CloseInputFiles(*st);
    return out;
}

TEST(PeerInput, FilesOfOtherWritersDecodeAsTheyDo) {
    if (!Have("sox")) GTEST_SKIP() << "sox not installed";
    const PeerFile cases[] = {
        {"sox", 16, 1, "", ""},
        {"sox", 16, 2, "", ""},
        {"sox", 24, 1, "", ""},
        {"sox", 24, 2, "", "fmt "},
        {"sox", 32, 1, "", "fact"},
        {"sox", 32, 2, "", "fact"},
        {"ffmpeg", 16, 1, "", "LIST"},
        {"ffmpeg", 16, 2, "-write_bext 1", "bext"},
        {"ffmpeg", 24, 2, "-rf64 auto -write_bext 1", "JUNK"},
        {"ffmpeg", 24, 1, "", "LIST"},
        {"ffmpeg", 32, 1, "", "LIST"},
        {"ffmpeg", 32, 2, "-rf64 auto", "JUNK"},
    };
    const std::string python = peertools::PythonWith("soundfile");
    testsupport::TempDir dir;
    int checked = 0;
    for (const auto& c : cases) {
        const std::string label = std::string(c.tool) + " " + std::to_string(c.bits) + "-bit " +
                                  std::to_string(c.channels) + " ch " + c.options;
        if (!Have(c.tool)) continue;
        const std::string path = dir.file("peer" + std::to_string(checked) + ".wav");
        ASSERT_EQ(RunShell(MakeCommand(c, path)).status, 0) << label;
        if (*c.chunk) {
            EXPECT_TRUE(FileHas(path, c.chunk)) << label << " has no " << c.chunk;
        }

        varnel::TrackHeaders h;
        std::vector<int32_t> ours = DecodeOurs(path, h);
        EXPECT_EQ(h.rate[1], 44100u) << label;
        EXPECT_EQ(h.channels[1], c.channels) << label;
        EXPECT_EQ(h.bitsPerSample[1], c.bits) << label;
        ASSERT_EQ(ours.size(), size_t(h.length[1]) * size_t(c.channels)) << label;
        ASSERT_GT(ours.size(), 2000u) << label;

        if (c.bits != 32 || python.empty()) {
            // sox at 32-bit scale: integer input is exact (ours x 256); a
            // float is rounded there and truncated here, one channel step.
            const std::string raw = path + ".s32";
            ASSERT_EQ(RunShell("sox '" + path + "' -t s32 '" + raw + "'").status, 0) << label;
            std::vector<int32_t> ref = peertools::ReadRawInt32(raw);
            ASSERT_EQ(ref.size(), ours.size()) << label;
            const int64_t tolerance = c.bits == 32 ? 256 : 0;
            for (size_t i = 0; i < ref.size(); ++i)
                ASSERT_LE(std::llabs(int64_t(ours[i]) * 256 - ref[i]), tolerance)
                    << label << " sample " << i;
        } else {
            // soundfile gives the floats themselves: trunc(x * 2^23) exactly.
            const std::string txt = path + ".txt";
            ASSERT_EQ(RunShell(python + " -c \"import soundfile as s, numpy as n; d, r = s.read('" +
                               path + "', dtype='float32'); n.savetxt('" + txt +
                               "', n.trunc(d.astype(n.float64) * 8388608).reshape(-1), fmt='%d')\"")
                          .status,
                      0)
                << label;
            std::FILE* f = std::fopen(txt.c_str(), "r");
            ASSERT_NE(f, nullptr);
            long long v;
            size_t i = 0;
            while (std::fscanf(f, "%lld", &v) == 1) {
                ASSERT_LT(i, ours.size()) << label;
                ASSERT_EQ(ours[i], v) << label << " sample " << i;
                ++i;
            }
            std::fclose(f);
            EXPECT_EQ(i, ours.size()) << label;
        }
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

}  // namespace
