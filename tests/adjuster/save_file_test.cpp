#include <gtest/gtest.h>

#include "adjuster/save_file.hpp"
#include "model_helpers.hpp"
#include "support/test_support.hpp"

using namespace ostrand;
using adjustertest::ScriptedConsole;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

const char* kAsk =
    "The file already exists!\nType 'o' to overwrite or any other key to cancel\n";

}  // namespace

TEST(SaveFile, NewFileIsWritten) {
    testsupport::TempDir dir;
    ScriptedConsole io("");
    EXPECT_EQ(SaveFile(dir.file("new.txt"), "begin\n\n", io.console), SaveResult::kWritten);
    EXPECT_EQ(io.Output(), "Write complete\n");
    EXPECT_EQ(ReadFile(dir.file("new.txt")), "begin\n\n");
    EXPECT_FALSE(FileExists(dir.file("new.txt.tmp")));
}

TEST(SaveFile, OnlyOOverwrites) {
    struct Case {
        const char* answer;
        SaveResult result;
        const char* content;
    };
    const Case cases[] = {
        {"o\n", SaveResult::kWritten, "new"},
        {"ok\n", SaveResult::kCancelled, "begin\nt\t1\n"},
        {"O\n", SaveResult::kCancelled, "begin\nt\t1\n"},
        {"", SaveResult::kEndOfInput, "begin\nt\t1\n"},
    };
    for (const Case& c : cases) {
        testsupport::TempDir dir;
        WriteFile(dir.file("f.txt"), "begin\nt\t1\n");
        ScriptedConsole io(c.answer);
        EXPECT_EQ(SaveFile(dir.file("f.txt"), "new", io.console), c.result) << c.answer;
        std::string expected = kAsk;
        if (c.result == SaveResult::kWritten) expected += "Write complete\n";
        EXPECT_EQ(io.Output(), expected);
        EXPECT_EQ(ReadFile(dir.file("f.txt")), c.content);
        EXPECT_FALSE(FileExists(dir.file("f.txt.bak")));
    }
}

TEST(SaveFile, DroppedLinesAreAnnouncedAndBackedUp) {
    testsupport::TempDir dir;
    const std::string old = "begin\nsong\nt\t0\nv\t1\t-3\np\t1\t50\nend\n";
    WriteFile(dir.file("f.txt"), old);
    ScriptedConsole io("o\n");
    EXPECT_EQ(SaveFile(dir.file("f.txt"), "new", io.console), SaveResult::kWritten);
    EXPECT_EQ(io.Output(), "The file already exists!\n"
                           "It holds 3 lines that this program does not keep (pans, routing, "
                           "effects, ...); the old file will be kept as " +
                               dir.file("f.txt") +
                               ".bak\n"
                               "Type 'o' to overwrite or any other key to cancel\n"
                               "Write complete\n");
    EXPECT_EQ(ReadFile(dir.file("f.txt")), "new");
    EXPECT_EQ(ReadFile(dir.file("f.txt.bak")), old);
}

TEST(SaveFile, UnwritablePlaceIsReported) {
    testsupport::TempDir dir;
    ScriptedConsole io("");
    std::string target = dir.file("missing/f.txt");
    EXPECT_EQ(SaveFile(target, "x", io.console), SaveResult::kFailed);
    EXPECT_EQ(io.Output(), "Could not open " + target + " for writing\n");
    EXPECT_FALSE(FileExists(target));
}

TEST(CountDroppedLines, FirstFieldDecides) {
    struct Case {
        const char* content;
        int dropped;
    };
    const Case cases[] = {
        {"begin\n\nt\t1\nv\t1\t0\nrmp\t1\n", 0},
        {"\n\tbegin\tx\n\t\tv\t1\t0\n", 0},        // leading tabs skipped
        {"begin\nmix\nsub\t1\t2\np\t1\t0\nend", 4},  // no final newline
        {"begin\nv \t1\t0\n", 1},                   // "v " is not "v"
        {"", 0},
    };
    testsupport::TempDir dir;
    for (const Case& c : cases) {
        WriteFile(dir.file("f.txt"), c.content);
        EXPECT_EQ(CountDroppedLines(dir.file("f.txt")), c.dropped) << c.content;
    }
    EXPECT_EQ(CountDroppedLines(dir.file("none.txt")), 0);
}
