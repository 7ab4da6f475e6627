#include <gtest/gtest.h>

#include "adjuster/field_reading.hpp"
#include "adjuster/parsing.hpp"
#include "model_helpers.hpp"
#include "support/test_support.hpp"

using namespace ostrand;
using adjustertest::Leading;
using adjustertest::Parse;

namespace {

// The mixer's clock time of three time fields.
double Clock(float m, float s, float ms) {
    return static_cast<double>(m) * 60.0 + static_cast<double>(s) +
           static_cast<double>(ms) / 1000.0;
}

}  // namespace

TEST(ParseBuffer, TimeLineByFieldCount) {
    struct Case {
        const char* line;
        int fields;
        double expected;
    };
    const Case cases[] = {
        {"t\t1\t2\t500\n", 3, 62.5},  // 1 min + 2 s + 500 ms
        {"t\t1\t2\t500\n", 1, 1.0},   // only the first field
        {"t\t1\t2\t500\n", 2, 62.0},  // seconds field "2", the rest ignored
        {"t\t2\t5.5\n", 2, 125.5},
        {"t\t12.25\n", 1, 12.25},
        {"t\t0\t59\t999.6\n", 3, Clock(0, 59, 999.6f)},  // single-precision fields, like the mixer
        {"t\t0.1\n", 1, static_cast<double>(0.1f)},
        {"t\tabc\n", 1, 0.0},     // no number reads as 0
        {"t\t0x10\n", 1, 16.0},   // the mixer reads hexadecimal too
        {"t 0\t0\t4\n", 3, 0.0},  // "t0" is no keyword: a kept line, v stays at 0
    };
    for (const Case& c : cases) {
        auto m = Parse(std::string("begin\n") + c.line + "v\t4\t-3\n", c.fields);
        ASSERT_EQ(m->rows[4].size(), 1u) << c.line;
        EXPECT_EQ(m->rows[4][0].time, c.expected) << c.line << " fields " << c.fields;
        EXPECT_EQ(m->rows[4][0].level, -3.0);
    }
}

TEST(ParseBuffer, KeptLinesAndEnd) {
    const std::string text =
        "notes\tv\t1\t-3 above the start\n"
        "begin\nsong\n\nsub\t1\t2\n\nt\t0\t1\t0\nv\t1\t-6\n\n"
        "hp\t2\t60\nnote between\nt\t0\t2\t0\nrev\t2\t-6\n"
        "end\nv\t1\t0\nafter";
    auto m = Parse(text, 3);
    EXPECT_EQ(Leading(*m),
              "notes\tv\t1\t-3 above the start\nbegin\nsong\n\nsub\t1\t2\n\n"
              "hp\t2\t60\nnote between\nrev\t2\t-6\n");
    EXPECT_EQ(SpanText(*m, m->endLine), "end\n");
    EXPECT_EQ(SpanText(*m, m->afterEnd), "v\t1\t0\nafter");
    ASSERT_EQ(m->rows[1].size(), 1u);  // lines above "begin" and below "end" are not read
    EXPECT_EQ(m->rows[1][0].time, 1.0);
    EXPECT_EQ(m->timeLines.size(), 2u);

    // Without "begin" everything is read; a NUL byte ends what is read.
    const char raw[] = "t\t0\t0\t0\nv\t2\t1\n\0v\t3\t1\n";
    auto bare = Parse(std::string(raw, sizeof raw - 1), 3);
    EXPECT_EQ(bare->rows[2].size(), 1u);
    EXPECT_EQ(bare->rows[3].size(), 0u);
    EXPECT_EQ(SpanText(*bare, bare->afterEnd), std::string("\0v\t3\t1\n", 7));
}

TEST(ParseBuffer, RampsBelongToTheLineAbove) {
    struct Case {
        const char* text;
        int slot;        // where the entry with the ramp would be
        double ramp;     // its ramp
        int unattached;  // lines kept unattached
    };
    const Case cases[] = {
        {"t\t1\nv\t5\t-2\nrmp\t1.5\n", 5, 1.5, 0},
        {"t\t1\nv\t5\t-2\nofs\t0.5\nshape\t2\nrmp\t1.5\n", 5, 1.5, 0},  // the entry's own lines
        {"t\t1\nv\t5\t-2\n\nrmp\t1.5\n", 5, 1.5, 0},                    // a blank line
        {"t\t1\nv\t5\t-2\nrmp\t1\nrmp\t1.5\n", 5, 1.5, 0},              // the last wins
        {"t\t1\nv\t5\t-2\nt\t9\nrmp\t1.5\n", 5, 0.0, 1},  // another time line in between
        {"t\t1\nv\t5\t-2\np\t6\t10\nrmp\t1.5\n", 5, 0.0, 1},
        {"t\t1\nv\t5\t-2\nnote\nrmp\t1.5\n", 5, 0.0, 1},
        {"t\t1\nv\t5\t-2\ninc\t1\nrmp\t1.5\n", 5, 0.0, 1},
        {"rmp\t2\nt\t1\nv\t0\t-3\n", 0, 0.0, 1},  // before any level line
        {"t\t1\nvca\t2\t-3\nrmp\t4\n", kFirstVcaSlot + 2, 4.0, 0},
    };
    for (const Case& c : cases) {
        auto m = Parse(std::string("begin\n") + c.text, 1);
        ASSERT_EQ(m->rows[c.slot].size(), 1u) << c.text;
        EXPECT_EQ(m->rows[c.slot][0].ramp, c.ramp) << c.text;
        EXPECT_EQ(static_cast<int>(m->unattached.size()), c.unattached) << c.text;
    }
    // The case: a VCA entry's ramp stays on the VCA entry.
    auto m = Parse("begin\nt\t0\t16\t0\nv\t7\t-6\nrmp\t2\nt\t0\t30\t0\nvca\t1\t-3\nrmp\t4\n", 3);
    EXPECT_EQ(m->rows[7][0].ramp, 2.0);
    EXPECT_EQ(m->rows[kFirstVcaSlot + 1][0].ramp, 4.0);
    auto stray = Parse("begin\nt\t1\nv\t5\t-2\nt\t9\nrmp\t1.5\n", 1);
    EXPECT_EQ(stray->unattachedLineNumbers, std::vector<int>{5});
    EXPECT_EQ(SpanText(*stray, stray->unattached[0]), "rmp\t1.5");
}

TEST(ParseBuffer, EntryKindsAndSlots) {
    struct Case {
        const char* line;
        int slot;
        EntryKind kind;
    };
    const Case cases[] = {
        {"v\t0\t-1", 0, EntryKind::kLevel},
        {"v\t127\t-1", 127, EntryKind::kLevel},
        {"v\t128\t-1", kFirstSubmixSlot, EntryKind::kLevel},  // the mixer's submix 1
        {"v\t135\t-1", kFirstSubmixSlot + 7, EntryKind::kLevel},
        {"v\t136\t-1", kFirstSubmixSlot + 7, EntryKind::kLevel},  // beyond: submix 8
        {"v\t-1\t-1", kFirstSubmixSlot + 7, EntryKind::kLevel},
        {"v\tM\t-1", kMasterSlot, EntryKind::kLevel},
        {"v\tG\t1\t-1", kFirstSubmixSlot, EntryKind::kLevel},
        {"v\tG\t0\t-1", 127, EntryKind::kLevel},
        {"v\tG\t9\t-1", kFirstSubmixSlot + 7, EntryKind::kLevel},
        {"x\tv\t3\t-1", 3, EntryKind::kLevel},  // a keyword after other fields still counts
        {"vca\t1\t-1", kFirstVcaSlot + 1, EntryKind::kVca},
        {"vca\t8\t-1", kFirstVcaSlot + 8, EntryKind::kVca},
        {"vca\t9\t-1", kFirstVcaSlot, EntryKind::kVca},  // VCA 0, which never acts
        {"p\t3\t-30", 3, EntryKind::kPan},
        {"pol\tG\t2\t-1", kFirstSubmixSlot + 1, EntryKind::kPolarity},
    };
    for (const Case& c : cases) {
        auto m = Parse(std::string("begin\nt\t2\n") + c.line + "\n", 1);
        ASSERT_EQ(m->rows[c.slot].size(), 1u) << c.line;
        EXPECT_EQ(m->rows[c.slot][0].kind, c.kind) << c.line;
        EXPECT_EQ(m->rows[c.slot][0].time, 2.0) << c.line;
        if (IsLevelEntry(m->rows[c.slot][0])) {
            EXPECT_EQ(m->rows[c.slot][0].level, -1.0) << c.line;
        }
    }
}

TEST(ParseBuffer, TimesBeforeTheFirstLineAndAfterInc) {
    auto m = Parse(
        "begin\nmix\nv\t2\t-1\nt\t0\t1\t0\ninc\t0.5\nv\t1\t-6\ninc\t0.25\nv\t1\t-7\n"
        "t\t0\t3\t0\nv\t1\t0\n",
        3);
    ASSERT_EQ(m->rows[2].size(), 1u);
    EXPECT_EQ(m->rows[2][0].time, 0.0);
    EXPECT_EQ(m->rows[2][0].timeLine, kBeforeFirstTime);
    ASSERT_EQ(m->rows[1].size(), 3u);
    EXPECT_EQ(m->rows[1][0].time, 1.5);
    EXPECT_EQ(m->rows[1][1].time, 1.75);
    EXPECT_EQ(m->rows[1][1].timeLine, kMovedByInc);
    EXPECT_EQ(m->rows[1][2].time, 3.0);
    EXPECT_EQ(m->rows[1][2].timeLine, 1);
}

TEST(ParseBuffer, LineEndsAndTempoMap) {
    auto crlf = Parse("begin\r\nsong\r\nt\t0\t1\t0\r\nv\t1\t-3\r\nrmp\t2\r\nend\r\n", 3);
    EXPECT_EQ(crlf->lineEnd, "\r\n");
    EXPECT_EQ(crlf->rows[1][0].time, 1.0);
    EXPECT_EQ(crlf->rows[1][0].ramp, 2.0);
    EXPECT_EQ(SpanText(*crlf, crlf->endLine), "end\r\n");
    EXPECT_FALSE(crlf->hasTempoMap);
    auto lf = Parse("begin\ntmap\t120\t4\t8\nt\t1\t1\t0\nv\t1\t0\n", 3);
    EXPECT_EQ(lf->lineEnd, "\n");
    EXPECT_TRUE(lf->hasTempoMap);
}

TEST(CheckTimeFields, CountsAgainstTheSetting) {
    struct Case {
        const char* text;
        int fields;
        bool mismatch;
        int fileFields;
        const char* counts;
    };
    const Case cases[] = {
        {"begin\nt\t0\t1\t0\nt\t0\t2\t0\n", 3, false, 3, "3"},
        {"begin\nt\t0\t1\t0\n", 1, true, 3, "3"},
        {"begin\nt\t2\n", 3, true, 1, "1"},
        {"begin\nt\t2\nt\t1\t2\nt\t0\t1\t0\n", 3, true, 0, "1, 2 and 3"},
        {"begin\nv\t1\t0\n", 1, false, 0, ""},  // no time lines
    };
    for (const Case& c : cases) {
        auto m = Parse(c.text, c.fields);
        FieldCheck check = CheckTimeFields(*m);
        EXPECT_EQ(check.mismatch, c.mismatch) << c.text;
        EXPECT_EQ(check.fileFields, c.fileFields) << c.text;
        EXPECT_EQ(check.counts, c.counts) << c.text;
    }
}

TEST(FieldReading, FieldsAndLineEnds) {
    EXPECT_EQ(LineFields("v \t1\t\t- 3\r"), (std::vector<std::string>{"v", "1", "-3\r"}));
    EXPECT_EQ(WithoutLineEnd("v\t1\t-3\r\n"), "v\t1\t-3");
}

TEST(ReadFile, MissingAndOversizedFiles) {
    testsupport::TempDir dir;
    std::string text;
    std::FILE* out = std::tmpfile();
    EXPECT_EQ(ReadFile(dir.file("none.txt"), text, out), ReadStatus::kNotFound);
    testsupport::WriteFile(dir.file("big.txt"), std::string(kMaxFileSize + 1, 'a'));
    EXPECT_EQ(ReadFile(dir.file("big.txt"), text, out), ReadStatus::kTooLarge);
    testsupport::WriteFile(dir.file("fits.txt"), std::string(kMaxFileSize, 'a'));
    EXPECT_EQ(ReadFile(dir.file("fits.txt"), text, out), ReadStatus::kRead);
    EXPECT_EQ(text.size(), kMaxFileSize);
    EXPECT_EQ(adjustertest::Drain(out),
              "File " + dir.file("none.txt") + " not found\nFile " + dir.file("big.txt") +
                  " is larger than 16 MiB (16777216 bytes) and cannot be loaded\n");
    std::fclose(out);
}
