#include <gtest/gtest.h>

#include <cfloat>

#include "adjuster/field_reading.hpp"
#include "adjuster/parsing.hpp"
#include "model_helpers.hpp"
#include "support/test_support.hpp"

using namespace ostrand;
using adjustertest::Parse;

namespace {

struct TimeCase {
    const char* line;
    int fields;
    float expected;
};

}  // namespace

TEST(ParseBuffer, TimeLineByFieldCount) {
    const TimeCase cases[] = {
        {"t\t1\t2\t500\n", 3, 62.5f},   // 1 min + 2 s + 500 ms
        {"t\t1\t2\t500\n", 1, 1.0f},    // only the leading number of the line
        {"t\t1\t2\t500\n", 2, 62.0f},   // seconds field "2\t500" reads 2
        {"t\t2\t5.5\n", 2, 125.5f},
        {"t\t12.25\n", 1, 12.25f},
        {"t\t0\t59\t999.6\n", 3, static_cast<float>(59 + 999.6 / 1000)},
        {"t\tabc\n", 1, 0.0f},           // no number reads as 0
    };
    for (const TimeCase& c : cases) {
        auto m = Parse(std::string("begin\n") + c.line + "v\t4\t-3\n", c.fields);
        ASSERT_EQ(m->counts[4], 1) << c.line;
        EXPECT_EQ(m->times[4][0], c.expected) << c.line << " fields " << c.fields;
        EXPECT_EQ(m->levels[4][0], -3.0f);
    }
}

TEST(ParseBuffer, EntriesShareTheLastTime) {
    auto m = Parse("begin\nmix\nv\t2\t-1\nt\t0\t3\t0\nv\t1\t-6\nv\t1\t-7.5\nend\n", 3);
    EXPECT_EQ(m->header, "begin");
    ASSERT_EQ(m->counts[2], 1);
    EXPECT_EQ(m->times[2][0], 0.0f);  // before any "t"
    ASSERT_EQ(m->counts[1], 2);
    EXPECT_EQ(m->times[1][0], 3.0f);
    EXPECT_EQ(m->times[1][1], 3.0f);
    EXPECT_EQ(m->levels[1][1], -7.5f);
}

TEST(ParseBuffer, RampFollowsItsLevelLineAcrossAnotherTime) {
    auto m = Parse("begin\nt\t0\t1\t0\nv\t5\t-2\nt\t0\t9\t0\nrmp\t1.5\nv\t6\t0\n", 3);
    EXPECT_EQ(m->ramps[5][0], 1.5f);
    EXPECT_EQ(m->ramps[6][0], 0.0f);
    EXPECT_EQ(m->times[6][0], 9.0f);
}

TEST(ParseBuffer, RampBeforeAnyLevelLineGoesToChannelZero) {
    auto m = Parse("begin\nrmp\t2\nt\t1\nv\t0\t-3\n", 1);
    ASSERT_EQ(m->counts[0], 1);
    EXPECT_EQ(m->ramps[0][0], 2.0f);
}

TEST(ParseBuffer, OnlyBeginAndEndLoadsNothing) {
    for (const char* text : {"begin\nend\n", "begin\r\nend\r\n", ""}) {
        auto m = Parse(text, 3);
        for (int slot = 0; slot < kSlotCount; ++slot) EXPECT_EQ(m->counts[slot], 0) << slot;
    }
    EXPECT_EQ(Parse("", 3)->header, "");
}

TEST(ParseBuffer, MasterAndSubmixKeepTheirDesignators) {
    auto m = Parse("begin\nt\t5\nv\tM\t-1\nv\tG\t3\t-4\nrmp\t0.5\nv\t0\t-9\n", 1);
    ASSERT_EQ(m->counts[kMasterSlot], 1);
    EXPECT_EQ(m->levels[kMasterSlot][0], -1.0f);
    ASSERT_EQ(m->counts[kMasterSlot + 3], 1);
    EXPECT_EQ(m->levels[kMasterSlot + 3][0], -4.0f);
    EXPECT_EQ(m->ramps[kMasterSlot + 3][0], 0.5f);
    ASSERT_EQ(m->counts[0], 1);
    EXPECT_EQ(m->levels[0][0], -9.0f);
}

TEST(ParseBuffer, OutOfRangeEntriesAreRefused) {
    std::string messages;
    auto m = Parse("begin\nv\t128\t-1\nrmp\t3\nv\t-1\t-2\nv\tG\t9\t-3\nv\tG\t0\t-4\n", 3, &messages);
    for (int slot = 0; slot < kSlotCount; ++slot) EXPECT_EQ(m->counts[slot], 0) << slot;
    EXPECT_EQ(m->ramps[0][0], 0.0f);  // the ramp of a refused entry goes nowhere
    EXPECT_EQ(messages,
              "Channel 128 is out of range (0 to 127): entry ignored\n"
              "Channel -1 is out of range (0 to 127): entry ignored\n"
              "Submix 9 is out of range (1 to 8): entry ignored\n"
              "Submix 0 is out of range (1 to 8): entry ignored\n");
}

TEST(ParseBuffer, FullChannelRefusesMore) {
    std::string text = "begin\n";
    for (int i = 0; i < 513; ++i) text += "t\t" + std::to_string(i) + "\nv\t7\t-1\n";
    text += "rmp\t4\n";
    std::string messages;
    auto m = Parse(text, 1, &messages);
    EXPECT_EQ(m->counts[7], 512);
    EXPECT_EQ(m->times[7][511], 511.0f);
    EXPECT_EQ(m->ramps[7][511], 0.0f);
    EXPECT_EQ(messages, "Channel 7 already has 512 entries: entry ignored\n");
}

TEST(ParseBuffer, LongHeaderIsTruncated) {
    std::string messages;
    auto m = Parse(std::string(1500, 'h') + "\n", 3, &messages);
    EXPECT_EQ(m->header, std::string(1023, 'h'));
    EXPECT_EQ(messages, "First word longer than 1023 characters: truncated\n");
}

TEST(FieldReading, DecimalNumbersOnly) {
    EXPECT_EQ(ReadDecimal("-2.5e1x"), -25.0);
    EXPECT_EQ(ReadDecimal("inf"), 0.0);
    EXPECT_EQ(ReadDecimal("nan"), 0.0);
    EXPECT_EQ(ReadDecimal("0x10"), 0.0);
    EXPECT_EQ(ReadDecimal("1e"), 1.0);
    EXPECT_EQ(ReadDecimal("1e999"), static_cast<double>(FLT_MAX));
    EXPECT_EQ(ReadDecimal(nullptr), 0.0);
    EXPECT_EQ(ReadDecimalInteger("12abc"), 12);
    EXPECT_EQ(ReadDecimalInteger("0x10"), 0);
}

TEST(ReadFile, MissingAndOversizedFiles) {
    testsupport::TempDir dir;
    std::vector<char> text;
    std::FILE* out = std::tmpfile();
    EXPECT_EQ(ReadFile(dir.file("none.txt"), text, out), ReadStatus::kNotFound);
    testsupport::WriteFile(dir.file("big.txt"), std::string(65536, 'a'));
    EXPECT_EQ(ReadFile(dir.file("big.txt"), text, out), ReadStatus::kTooLarge);
    testsupport::WriteFile(dir.file("fits.txt"), std::string(65535, 'a'));
    EXPECT_EQ(ReadFile(dir.file("fits.txt"), text, out), ReadStatus::kRead);
    EXPECT_EQ(text.size(), 65536u);
    EXPECT_EQ(text.back(), '\0');
    EXPECT_EQ(adjustertest::Drain(out), "File " + dir.file("none.txt") + " not found\nFile " +
                                            dir.file("big.txt") +
                                            " is larger than 65535 bytes and cannot be loaded\n");
    std::fclose(out);
}

TEST(ScanTimes, SmallestTimeAbove) {
    auto m = Parse("begin\nt\t5\nv\t3\t0\nt\t-2\nv\t1\t0\nt\t70000\nv\tM\t0\n", 1);
    float t = 0;
    ASSERT_TRUE(ScanTimes(m->times, m->counts, -1e9, t));
    EXPECT_EQ(t, -2.0f);
    ASSERT_TRUE(ScanTimes(m->times, m->counts, -2.0, t));
    EXPECT_EQ(t, 5.0f);
    ASSERT_TRUE(ScanTimes(m->times, m->counts, 5.0, t));  // far beyond: still found
    EXPECT_EQ(t, 70000.0f);
    EXPECT_FALSE(ScanTimes(m->times, m->counts, 70000.0, t));
}
