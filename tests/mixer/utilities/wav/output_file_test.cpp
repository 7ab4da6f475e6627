#include "mixer/utilities/wav/output_file.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>

#include "mixer/utilities/wav/wav_writer.hpp"
#include "support/test_support.hpp"

using namespace varnel;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

std::string Capture(bool& result, const std::function<bool()>& step) {
    testing::internal::CaptureStdout();
    result = step();
    return testing::internal::GetCapturedStdout();
}

int Create(const std::string& path) { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644); }

}  // namespace

TEST(OutputFile, WritesHeaderAndBlocks) {
    TempDir dir;
    const std::string path = dir.file("song.wav");
    OutputFile out;
    ASSERT_TRUE(StartOutputFile(out, Create(path), path, 44100, 16, 2, 2));
    int32_t l[2] = {1, -1}, r[2] = {-32768, 32767};
    uint8_t bytes[8];
    NUM16STER_TO_CHAR(l, r, bytes, 2);
    ASSERT_TRUE(AppendOutputBytes(out, bytes, 8));
    ASSERT_TRUE(CloseOutputFile(out));
    const std::string file = ReadFile(path);
    const auto header = MAKE_HEADER(44100, 16, 2, 2);
    ASSERT_EQ(file.size(), 52u);
    EXPECT_EQ(file.substr(0, 44), std::string(header.begin(), header.end()));
    int ch = 0, bits = 0, rate = 0;
    EXPECT_EQ(testsupport::ReadWavSamples(path, &ch, &bits, &rate),
              (std::vector<int32_t>{1, -32768, -1, 32767}));
    EXPECT_EQ(ch, 2);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(rate, 44100);
}

// An abandoned stream writes none of the bytes it still holds.
TEST(OutputFile, DropWritesNothingMore) {
    TempDir dir;
    const std::string path = dir.file("mix.wav");
    OutputFile out;
    ASSERT_TRUE(StartOutputFile(out, Create(path), path, 44100, 24, 2, 10));
    uint8_t bytes[60] = {};
    ASSERT_TRUE(AppendOutputBytes(out, bytes, sizeof bytes));
    DropOutputFile(out);
    EXPECT_EQ(out.file, nullptr);
    EXPECT_EQ(ReadFile(path), "");
}

TEST(OutputFile, WriteToFullDeviceFails) {
    if (!FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    OutputFile out;
    bool ok = false;
    const int fd = ::open("/dev/full", O_WRONLY);
    std::string msg = Capture(ok, [&] { return StartOutputFile(out, fd, "full.wav", 44100, 16, 2, 1); });
    ASSERT_TRUE(ok) << msg;  // the header is still in the stream buffer
    msg = Capture(ok, [&] { return CloseOutputFile(out); });
    EXPECT_FALSE(ok);
    EXPECT_TRUE(out.failed);
    // Capturing standard output flushes every stream, so the reason may have
    // been met before the close; the message still names the file.
    EXPECT_EQ(msg.rfind("Error closing audio file full.wav (", 0), 0u) << msg;
    EXPECT_FALSE(AppendOutputBytes(out, nullptr, 0));  // a failed file takes no more bytes

    msg = Capture(ok, [&] { return StartOutputFile(out, -1, "none.wav", 44100, 16, 2, 1); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(msg, "Cannot create audio file none.wav (Bad file descriptor)\n");
}
