// A fader file saved by the built adjuster is read by the mixer's own parser
// to the levels and times the adjuster showed.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "mixer/utilities/fader_script/fader_file.hpp"
#include "script_fixture.hpp"
#include "support/test_support.hpp"

using scripttest::Level;
using testsupport::TempDir;

namespace {


class OstrandRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(OstrandRoundTrip, SavedFileReadsToTheSameLevelsAndTimes) {
    const int fields = GetParam();
    TempDir d;
    testsupport::WriteFile(d.file("in.txt"),
                           "begin\nmix\nt\t0\t0\t0\nv\t1\t-3.5\nv\t2\t0\nt\t0\t1\t250\nv\t1\t-10\n"
                           "rmp\t0.5\nt\t1\t2\t500\nv\t2\t-6.25\nend\n");
    // Down 1.5 dB, half a second later, saved with the chosen time fields.
    const std::string input =
        "av\n-1.5\nnt\n0.5\ncf\n" + std::to_string(fields) + "\npf\nout.txt\nx\n";
    auto r = testsupport::RunProgram(OSTRAND_BIN, {"in.txt", "3"}, d.path(), input);
    ASSERT_EQ(r.status, 0) << r.output;
    ASSERT_NE(r.output.find("Write complete"), std::string::npos) << r.output;

    varnel::TextFile file;
    testing::internal::CaptureStdout();
    int st = varnel::LoadFaderScript(d.file("out.txt"), true, 2, 1, file);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(st, 0);

    scripttest::Script s;
    const std::string prefs = "begin\ntfields\t" + std::to_string(fields) + "\nend\n";
    s.ctx.prefs = prefs;
    ASSERT_EQ(s.Run(file.content), 0) << s.output;
    ASSERT_EQ(s.faders->count[1], 2);
    ASSERT_EQ(s.faders->count[2], 2);
    // Channel 1: 0.5 s at -5 dB; 1.75 s at -11.5 dB with a 0.5 s ramp.
    EXPECT_EQ(s.time(1, 0), 24000);
    EXPECT_EQ(s.level(1, 0), Level(-5.0));
    EXPECT_EQ(s.time(1, 1), 84000);
    EXPECT_EQ(s.level(1, 1), Level(-11.5));
    EXPECT_EQ(s.ramp(1, 1), 24000);
    // Channel 2: 0.5 s at -1.5 dB; 63 s at -7.75 dB (an automatic ramp).
    EXPECT_EQ(s.time(2, 0), 24000);
    EXPECT_EQ(s.level(2, 0), Level(-1.5));
    EXPECT_EQ(s.time(2, 1), 63 * 48000);
    EXPECT_EQ(s.level(2, 1), Level(-7.75));
    EXPECT_EQ(s.ramp(2, 1), int32_t(std::trunc(std::fabs(scripttest::DB(Level(-7.75)) -
                                                          scripttest::DB(Level(-1.5))) *
                                                250.0)));
}

INSTANTIATE_TEST_SUITE_P(TimeFields, OstrandRoundTrip, ::testing::Values(1, 2, 3));

}  // namespace
