#include "mixer/utilities/text/text_scan.hpp"

#include <gtest/gtest.h>

#include "mixer/utilities/text/keyword_line.hpp"
#include "mixer/utilities/text/line_checks.hpp"
#include "mixer/utilities/text/numbers.hpp"
#include "support/test_support.hpp"

using namespace varnel;

namespace {

std::string CaptureWarnings(const std::string& content, WarningFile which) {
    testing::internal::CaptureStdout();
    PrintLineWarnings(content, which);
    return testing::internal::GetCapturedStdout();
}

}  // namespace

TEST(ContentStart, BeginRules) {
    EXPECT_EQ(ContentAfterBegin("x\nbegin\npre\ton\n"), "\npre\ton\n");
    EXPECT_EQ(ContentAfterBegin("pre\ton\n"), "pre\ton\n");        // no begin: whole text
    EXPECT_EQ(ContentAfterBegin("beginning of it\nv\t1\n"), "\nv\t1\n");  // inside a word
    EXPECT_EQ(ContentAfterBegin("abc begin"), "");                  // no newline after it
}

TEST(Tokenizer, StrtokSemantics) {
    std::string text = "pre\t\ton\nstart\t1\t2\n\nlength\t5";
    Tokenizer t{text, 0};
    std::string_view tok;
    ASSERT_TRUE(NextToken(t, kFieldDelims, tok));
    EXPECT_EQ(tok, "pre");
    ASSERT_TRUE(NextToken(t, kLineDelim, tok));  // rest of line keeps the extra tab
    EXPECT_EQ(tok, "\ton");
    ASSERT_TRUE(NextToken(t, kFieldDelims, tok));
    EXPECT_EQ(tok, "start");
    ASSERT_TRUE(NextToken(t, kTabDelim, tok));
    EXPECT_EQ(tok, "1");
    ASSERT_TRUE(NextToken(t, kTabDelim, tok));  // a tab field runs over newlines
    EXPECT_EQ(tok, "2\n\nlength");
    ASSERT_TRUE(NextToken(t, kFieldDelims, tok));
    EXPECT_EQ(tok, "5");
    EXPECT_FALSE(NextToken(t, kFieldDelims, tok));
    EXPECT_FALSE(NextToken(t, kFieldDelims, tok));
}

TEST(KeywordScan, StopsAtEndAndMatchesWholeFields) {
    std::string c = "\nverbo\t1\nverbo 3\nx\tverbo\t2\nend\nverbo\t9\n";
    std::vector<std::string> values;
    ScanKeyword(c, "verbo", [&](KeywordLine& k) {
        std::string_view v;
        if (NextField(k, kFieldDelims, v)) values.emplace_back(v);
        return true;
    });
    EXPECT_EQ(values, (std::vector<std::string>{"1", "2"}));
    EXPECT_TRUE(HasKeyword(c, "x"));
    EXPECT_FALSE(HasKeyword(c, "verbo 3x"));
    int bits = 7;
    CodetoInt(c, "verbo", bits);  // reads past "end"
    EXPECT_EQ(bits, 9);
    int untouched = 5;
    CodetoInt(c, "outbits", untouched);
    EXPECT_EQ(untouched, 5);
}

TEST(Lines, PointToLinesCountsNewlines) {
    int count = -1;
    auto lines = pointToLines("a\nb\nc", count);
    EXPECT_EQ(count, 2);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "b");
    pointToLines("", count);
    EXPECT_EQ(count, 0);
}

TEST(Lines, WarningsPerFile) {
    // Line 1 is the empty rest of the "begin" line.
    std::string prefs = "\npre\t\ton\nverbo\t2\t\nstart\t 5\n";
    EXPECT_EQ(CaptureWarnings(prefs, WarningFile::Preferences),
              "\n>>>  Warning: extra tab on line 2 of preferences file.\n"
              "\n>>>  Warning: extra tab on line 3 of preferences file.\n"
              "\n>>>  Warning: extra space on line 4 of preferences file.\n");
    EXPECT_EQ(CaptureWarnings("\nv\t\t1\t\n", WarningFile::Faders),
              "\n>>>  Warning: extra tab on line 2 of fader file.\n"
              "\n>>>  Warning: extra tab on line 2 of fader file.\n");
    EXPECT_EQ(CaptureWarnings("\na  b\tc\n", WarningFile::TracksTab),
              "\n>>>  Warning: Extra space found on line 2 of tracks file.\n");
    EXPECT_EQ(CaptureWarnings("\na  b\tc\n", WarningFile::TracksSpace),
              "\n>>>  Warning: Tab found on line 2 of tracks file:\n");
    // An unterminated last line is not checked.
    EXPECT_EQ(CaptureWarnings("\npre\t\ton", WarningFile::Preferences), "");
}

TEST(Cleaning, RemoveSpacesAndExtraSeparators) {
    std::string s = "v\t 1\t -6 ";
    RemoveSpaces(s);
    EXPECT_EQ(s, "v\t1\t-6");
    std::string spaces = "   ";
    RemoveSpaces(spaces);
    EXPECT_EQ(spaces, "   ");
    std::string t = "a   b  c";
    EXPECT_EQ(RemoveExtraString(t, " "), 3);
    EXPECT_EQ(t, "a b c");
    EXPECT_EQ(RemoveExtraString(t, " "), 0);
    EXPECT_EQ(t, "a b c");
}

TEST(Numbers, ReadersNeverYieldNonFinite) {
    EXPECT_DOUBLE_EQ(ReadDecimal("-6.5xyz"), -6.5);
    EXPECT_DOUBLE_EQ(ReadDecimal(" \t+3.25"), 3.25);
    EXPECT_DOUBLE_EQ(ReadDecimal("abc"), 0.0);
    EXPECT_DOUBLE_EQ(ReadDecimal("nan"), 0.0);
    EXPECT_DOUBLE_EQ(ReadDecimal("-inf"), 0.0);
    EXPECT_DOUBLE_EQ(ReadDecimal("1e999"), 0.0);
    EXPECT_DOUBLE_EQ(ReadDecimal(".5"), 0.5);
    EXPECT_DOUBLE_EQ(ReadDecimal("."), 0.0);
    EXPECT_DOUBLE_EQ(ReadDecimal("1e"), 1.0);
    EXPECT_DOUBLE_EQ(ReadDecimal("0x10"), 16.0);
    EXPECT_EQ(ReadInteger("0x10"), 0);
    EXPECT_EQ(ReadInteger("42abc"), 42);
    EXPECT_EQ(ReadInteger("x"), 0);
    EXPECT_EQ(ReadInteger("99999999999"), 2147483647);
    EXPECT_EQ(TruncToInt32(-2.9), -2);
    EXPECT_EQ(TruncToInt32(1e20), INT32_MAX);
    EXPECT_EQ(TruncToInt32(0.0 / 0.0), 0);
    EXPECT_EQ(SatAdd32(INT32_MAX, 1), INT32_MAX);
    EXPECT_EQ(SatAdd32(INT32_MIN, -5), INT32_MIN);
}

TEST(LoadText, DirectoryIsNotFoundAndNulEndsText) {
    testsupport::TempDir d;
    TextFile tf;
    EXPECT_EQ(LoadTextFile(d.path(), tf), LoadResult::NotFound);
    EXPECT_EQ(LoadTextFile(d.file("missing"), tf), LoadResult::NotFound);
    testsupport::WriteFile(d.file("a.txt"), std::string("begin\nx\0y\n", 10));
    ASSERT_EQ(LoadTextFile(d.file("a.txt"), tf), LoadResult::Ok);
    EXPECT_EQ(tf.content, "\nx");
}
