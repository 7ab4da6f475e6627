#include "mixer/utilities/output_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "mixer/utilities/wav_writer.hpp"
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

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(OutputFile, WritesHeaderAndBlocksThenRenames) {
    TempDir dir;
    std::string path = dir.file("song.wav");
    OutputFile out;
    ASSERT_TRUE(CreateOutputFile(out, path, 44100, 16, 2, 2));
    EXPECT_FALSE(FileExists(path));  // only the temporary file exists meanwhile
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"song.wav.tmp"});
    int32_t l[2] = {1, -1}, r[2] = {-32768, 32767};
    uint8_t bytes[8];
    NUM16STER_TO_CHAR(l, r, bytes, 2);
    ASSERT_TRUE(AppendOutputBytes(out, bytes, 8));
    ASSERT_TRUE(FinishOutputFile(out));
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"song.wav"});
    std::string file = ReadFile(path);
    auto header = MAKE_HEADER(44100, 16, 2, 2);
    ASSERT_EQ(file.size(), 52u);
    EXPECT_EQ(file.substr(0, 44), std::string(header.begin(), header.end()));
    int ch = 0, bits = 0, rate = 0;
    EXPECT_EQ(testsupport::ReadWavSamples(path, &ch, &bits, &rate),
              (std::vector<int32_t>{1, -32768, -1, 32767}));
    EXPECT_EQ(ch, 2);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(rate, 44100);
}

TEST(OutputFile, FinishReplacesAnExistingTarget) {
    TempDir dir;
    std::string path = dir.file("mix.wav");
    testsupport::WriteFile(path, "old contents");
    testsupport::WriteFile(path + ".tmp", "someone else's file");
    OutputFile out;
    ASSERT_TRUE(CreateOutputFile(out, path, 48000, 24, 1, 0));
    EXPECT_EQ(out.tempPath, path + ".tmp1");
    ASSERT_TRUE(FinishOutputFile(out));
    EXPECT_EQ(ReadFile(path).size(), 44u);
    EXPECT_EQ(ReadFile(path + ".tmp"), "someone else's file");
    EXPECT_FALSE(FileExists(path + ".tmp1"));
}

TEST(OutputFile, DiscardLeavesTheTargetIntact) {
    TempDir dir;
    std::string path = dir.file("mix.wav");
    testsupport::WriteFile(path, "the previous mix");
    OutputFile out;
    ASSERT_TRUE(CreateOutputFile(out, path, 44100, 24, 2, 10));
    uint8_t bytes[60] = {};
    ASSERT_TRUE(AppendOutputBytes(out, bytes, sizeof bytes));
    DiscardOutputFile(out);
    EXPECT_EQ(ReadFile(path), "the previous mix");
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"mix.wav"});
    EXPECT_EQ(out.file, nullptr);
}

TEST(OutputFile, WriteToFullDeviceFails) {
    if (!FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    OutputFile out;
    bool ok = false;
    std::string msg = Capture(ok, [&] { return CreateOutputFile(out, "/dev/full", 44100, 16, 2, 1); });
    ASSERT_TRUE(ok) << msg;  // the header is still in the stream buffer
    EXPECT_TRUE(out.tempPath.empty());
    msg = Capture(ok, [&] { return FinishOutputFile(out); });
    EXPECT_FALSE(ok);
    EXPECT_TRUE(out.failed);
    // Capturing standard output flushes every stream, so the reason may have
    // been met before the finish step; the message still names the file.
    EXPECT_EQ(msg.rfind("Error closing audio file /dev/full (", 0), 0u) << msg;
    EXPECT_TRUE(FileExists("/dev/full"));
    EXPECT_FALSE(AppendOutputBytes(out, nullptr, 0));  // a failed file takes no more bytes
}

TEST(OutputFile, CreateFailuresNameTheFile) {
    TempDir dir;
    OutputFile out;
    bool ok = true;
    std::string missing = dir.file("no/such/dir/mix.wav");
    std::string msg = Capture(ok, [&] { return CreateOutputFile(out, missing, 44100, 16, 2, 1); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(msg, "Cannot create audio file " + missing + " (No such file or directory)\n");

    msg = Capture(ok, [&] { return CreateOutputFile(out, dir.path(), 44100, 16, 2, 1); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(msg, "Cannot create audio file " + dir.path() + " (Is a directory)\n");
}

TEST(OutputFile, ReadOnlyDirectoryFails) {
    TempDir dir;
    std::string sub = dir.file("locked");
    std::filesystem::create_directory(sub);
    std::filesystem::permissions(sub, std::filesystem::perms::owner_read |
                                          std::filesystem::perms::owner_exec);
    testsupport::WriteFile(sub + "/probe", "x");
    if (FileExists(sub + "/probe")) {
        // Permissions do not bind this user; the system directory does.
        sub = "/sys";
        std::FILE* probe = std::fopen("/sys/varnel_probe.wav", "wbx");
        if (probe) {
            std::fclose(probe);
            std::remove("/sys/varnel_probe.wav");
            GTEST_SKIP() << "no directory this user cannot write to";
        }
    }
    OutputFile out;
    bool ok = true;
    std::string path = sub + "/varnel_mix.wav";
    std::string msg = Capture(ok, [&] { return CreateOutputFile(out, path, 44100, 16, 2, 1); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(msg, "Cannot create audio file " + path + " (Permission denied)\n");
}

TEST(OutputFile, TemporaryFileRemovedWhenTheProcessExits) {
    TempDir dir;
    std::string path = dir.file("mix.wav");
    EXPECT_EXIT(
        {
            OutputFile out;
            if (!CreateOutputFile(out, path, 44100, 16, 2, 1)) std::exit(3);
            if (!FileExists(path + ".tmp")) std::exit(4);
            std::exit(2);  // a fatal error later in the run
        },
        testing::ExitedWithCode(2), "");
    EXPECT_TRUE(Names(dir.path()).empty());
}

TEST(OutputFile, SameFileComparesDeviceAndInode) {
    TempDir dir;
    std::string a = dir.file("a.wav");
    testsupport::WriteFile(a, "x");
    testsupport::WriteFile(dir.file("b.wav"), "x");
    std::filesystem::create_directory(dir.file("sub"));
    std::filesystem::create_hard_link(a, dir.file("link.wav"));
    EXPECT_TRUE(SameFile(a, a));
    EXPECT_TRUE(SameFile(a, dir.file("sub/../a.wav")));
    EXPECT_TRUE(SameFile(a, dir.file("link.wav")));
    EXPECT_FALSE(SameFile(a, dir.file("b.wav")));
    EXPECT_FALSE(SameFile(a, dir.file("absent.wav")));
    EXPECT_FALSE(SameFile(dir.file("absent.wav"), dir.file("absent.wav")));
}
