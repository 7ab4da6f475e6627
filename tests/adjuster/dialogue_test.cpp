// Whole dialogues with the built program: scripted standard input, complete
// output and saved files compared byte for byte.
#include <gtest/gtest.h>

#include "support/test_support.hpp"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::RunProgram;
using testsupport::WriteFile;

namespace {

const char* kBanner = "\nOstrand 1.0\n";

const char* kMenuLines =
    "'nt' to nudge times\n'st' to scale times\n'av' to adjust volumes\n"
    "'ac' to adjust channel volumes\n'ps' to print to screen\n'pf' to print to file\n"
    "'cf' to change number of time fields\n'co' to change ordering mode\n'x' to exit\n";

const char* kEveryFader =
    "Enter change in dB (every fader: channels, submixes, VCAs and the master)\n";
const char* kChannelFaders = "Enter change in dB (channel faders only)\n";

std::string Menu(const std::string& first, const std::string& last) {
    return "\nFirst time at " + first + "\nLast time at  " + last + "\n\n" + kMenuLines;
}

// Channel 3 at 0:01.500 and channel 1 at 0:01.500 with a ramp, the master at
// 1:02.500, submix 2 at 1:02.500.
const char* kFaders =
    "begin\nsong\n\nt\t0\t1\t500\nv\t3\t-6\nv\t1\t-3\nrmp\t2\n"
    "t\t1\t2\t500\nv\tM\t-1\nv\tG\t2\t-4.5\nend\n";

const char* kEntries = "\nEntries:\nch 1:  1\nch 3:  1\nch M:  1\nch G2:  1\n";

const char* kByTimes3 =
    "begin\nsong\n\n"
    "t\t0\t1\t500\nv\t1\t-3.00\nrmp\t2.000\nv\t3\t-6.00\n"
    "\nt\t1\t2\t500\nv\tM\t-1.00\nv\tG\t2\t-4.50\n"
    "end\n";

std::string Screen(const std::string& text) { return "\n" + text + "\n"; }

std::string Ask(const std::string& name) {
    return "The file already exists!\nThe old file will be kept as " + name +
           ".bak\nType 'o' to overwrite or any other key to cancel\n";
}

struct Session {
    testsupport::TempDir dir;
    explicit Session(const char* faders = kFaders) { WriteFile(dir.file("faders.txt"), faders); }
    testsupport::RunResult Run(const std::string& input, std::vector<std::string> args = {}) {
        return RunProgram(OSTRAND_BIN, args, dir.path(), input);
    }
};

}  // namespace

TEST(Dialogue, LoadAndPrintTwice) {
    Session s;
    auto r = s.Run("ps\nps\nx\n");
    EXPECT_EQ(r.status, 0);
    std::string menu = Menu("1.500", "62.500");
    EXPECT_EQ(r.output, kBanner + std::string(kEntries) + menu + Screen(kByTimes3) + menu +
                            Screen(kByTimes3) + menu);
}

TEST(Dialogue, NudgeScaleAndAdjust) {
    Session s;
    auto r = s.Run(
        "nt\n1.5\nst\n0.0005\nst\n2000\nst\n0.001\nst\n1000\nst\n2\nav\n-3\nac\n-1\nnt\n-10\nps\nx\n");
    EXPECT_EQ(r.status, 0);
    // After +1.5 s: 3 and 64; 0.0005 and 2000 refused, 0.001 and 1000 taken
    // (and undo each other); x2: 6 and 128 (ramp 4); -3 dB everywhere, -1 dB on
    // the channels; -10 s would make a time negative and is refused.
    const std::string text =
        "begin\nsong\n\n"
        "t\t0\t6\t0\nv\t1\t-7.00\nrmp\t4.000\nv\t3\t-10.00\n"
        "\nt\t2\t8\t0\nv\tM\t-4.00\nv\tG\t2\t-7.50\n"
        "end\n";
    EXPECT_EQ(r.output, kBanner + std::string(kEntries) + Menu("1.500", "62.500") +
                            "Enter nudge amount in seconds\n" + Menu("3.000", "64.000") +
                            "Enter scale factor (0.001 to 1000)\n" + Menu("3.000", "64.000") +
                            "Enter scale factor (0.001 to 1000)\n" + Menu("3.000", "64.000") +
                            "Enter scale factor (0.001 to 1000)\n" + Menu("0.003", "0.064") +
                            "Enter scale factor (0.001 to 1000)\n" + Menu("3.000", "64.000") +
                            "Enter scale factor (0.001 to 1000)\n" + Menu("6.000", "128.000") +
                            kEveryFader + Menu("6.000", "128.000") + kChannelFaders +
                            Menu("6.000", "128.000") + "Enter nudge amount in seconds\n" +
                            "Refused: a time would become -4.000 s; times must lie between 0 "
                            "and 10000000 s.\n" +
                            Menu("6.000", "128.000") + Screen(text) + Menu("6.000", "128.000"));
}

TEST(Dialogue, UnreadableNumbersChangeNothing) {
    Session s;
    auto r = s.Run("nt\nabc\nav\ninf\nac\nx1\nst\nnan\ncf\nzz\nps\nx\n");
    EXPECT_EQ(r.status, 0);
    std::string menu = Menu("1.500", "62.500");
    EXPECT_EQ(r.output, kBanner + std::string(kEntries) + menu + "Enter nudge amount in seconds\n" +
                            menu + kEveryFader + menu + kChannelFaders + menu +
                            "Enter scale factor (0.001 to 1000)\n" + menu +
                            "Currently using 3 time fields\nEnter new value (1-3)\n" + menu +
                            Screen(kByTimes3) + menu);
}

TEST(Dialogue, TimeFieldsAndOrdering) {
    Session s;
    // 7 becomes 3; 0x2 is 2; 010 is octal 8, so 3 again; then 1.
    auto r = s.Run("cf\n7\ncf\n0x2\nps\ncf\n010\ncf\n1\nco\ns\nps\nco\nk\nco\ns\nps\nx\n");
    EXPECT_EQ(r.status, 0);
    std::string menu = Menu("1.500", "62.500");
    auto fields = [](int f) {
        return "Currently using " + std::to_string(f) + " time fields\nEnter new value (1-3)\n";
    };
    const char* byTimes2 =
        "begin\nsong\n\n"
        "t\t0\t1.500\nv\t1\t-3.00\nrmp\t2.000\nv\t3\t-6.00\n"
        "\nt\t1\t2.500\nv\tM\t-1.00\nv\tG\t2\t-4.50\n"
        "end\n";
    const char* byChannels1 =
        "begin\nsong\n\n"
        "t\t1.500\nv\t1\t-3.00\nrmp\t2.000\n\n"
        "\nt\t1.500\nv\t3\t-6.00\n\n"
        "\nt\t62.500\nv\tM\t-1.00\n\n"
        "\nt\t62.500\nv\tG\t2\t-4.50\n\n"
        "end\n";
    const char* byTimes1 =
        "begin\nsong\n\n"
        "t\t1.500\nv\t1\t-3.00\nrmp\t2.000\nv\t3\t-6.00\n"
        "\nt\t62.500\nv\tM\t-1.00\nv\tG\t2\t-4.50\n"
        "end\n";
    const std::string toChannels =
        "Currently ordered by times\nEnter 's' to switch to ordering by channels\n"
        "Enter 'k' to keep ordering by times\n";
    const std::string toTimes =
        "Currently ordered by channels\nEnter 's' to switch to ordering by times\n"
        "Enter 'k' to keep ordering by channels\n";
    EXPECT_EQ(r.output, kBanner + std::string(kEntries) + menu + fields(3) + menu + fields(3) +
                            menu + Screen(byTimes2) + menu + fields(2) + menu + fields(3) + menu +
                            toChannels + menu + Screen(byChannels1) + menu + toTimes + menu +
                            toTimes + menu + Screen(byTimes1) + menu);
}

TEST(Dialogue, SaveRefuseAndOverwrite) {
    Session s;
    auto r = s.Run("pf\nout.txt\nav\n1\npf\nout.txt\nok\npf\nout.txt\no\nx\n");
    EXPECT_EQ(r.status, 0);
    std::string menu = Menu("1.500", "62.500");
    const std::string ask = "Enter filename\n" + Ask("out.txt");
    EXPECT_EQ(r.output, kBanner + std::string(kEntries) + menu +
                            "Enter filename\nWrite complete\n" + menu + kEveryFader + menu + ask +
                            menu + ask + "Write complete\n" + menu);
    EXPECT_EQ(ReadFile(s.dir.file("out.txt")),
              "begin\nsong\n\n"
              "t\t0\t1\t500\nv\t1\t-2.00\nrmp\t2.000\nv\t3\t-5.00\n"
              "\nt\t1\t2\t500\nv\tM\t0.00\nv\tG\t2\t-3.50\n"
              "end\n");
    EXPECT_EQ(ReadFile(s.dir.file("out.txt.bak")), kByTimes3);
    EXPECT_EQ(ReadFile(s.dir.file("faders.txt")), kFaders);
}

TEST(Dialogue, OverwritingTheSourceKeepsACopy) {
    Session s;
    auto r = s.Run("pf\nfaders.txt\no\nx\n");
    EXPECT_EQ(r.status, 0);
    std::string menu = Menu("1.500", "62.500");
    EXPECT_EQ(r.output, kBanner + std::string(kEntries) + menu + "Enter filename\n" +
                            Ask("faders.txt") + "Write complete\n" + menu);
    EXPECT_EQ(ReadFile(s.dir.file("faders.txt")), kByTimes3);
    EXPECT_EQ(ReadFile(s.dir.file("faders.txt.bak")), kFaders);
}

TEST(Dialogue, EndOfInputAtEachPromptEndsQuietly) {
    struct Case {
        const char* input;
        std::string tail;  // what the program printed after the last menu
    };
    const Case cases[] = {
        {"", ""},
        {"nt\n", "Enter nudge amount in seconds\n"},
        {"st\n", "Enter scale factor (0.001 to 1000)\n"},
        {"av\n", kEveryFader},
        {"ac\n", kChannelFaders},
        {"cf\n", "Currently using 3 time fields\nEnter new value (1-3)\n"},
        {"co\n",
         "Currently ordered by times\nEnter 's' to switch to ordering by channels\n"
         "Enter 'k' to keep ordering by times\n"},
        {"pf\n", "Enter filename\n"},
        {"pf\nfaders.txt\n", "Enter filename\n" + Ask("faders.txt")},
    };
    for (const Case& c : cases) {
        Session s;
        auto r = s.Run(c.input);
        EXPECT_EQ(r.status, 0) << c.input;
        EXPECT_EQ(r.output, kBanner + std::string(kEntries) + Menu("1.500", "62.500") + c.tail)
            << c.input;
        EXPECT_EQ(ReadFile(s.dir.file("faders.txt")), kFaders);
        EXPECT_FALSE(FileExists(s.dir.file("faders.txt.bak")));
    }
}

TEST(Dialogue, ExitAtTheOrderingQuestion) {
    Session s;
    auto r = s.Run("co\nx\nps\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, kBanner + std::string(kEntries) + Menu("1.500", "62.500") +
                            "Currently ordered by times\n"
                            "Enter 's' to switch to ordering by channels\n"
                            "Enter 'k' to keep ordering by times\n");
}

TEST(Dialogue, UnknownAndOverlongWordsAreIgnored) {
    Session s;
    auto r = s.Run("hello\n" + std::string(100, 'x') + "\npf\n" + std::string(300, 'n') + "\nx\n");
    EXPECT_EQ(r.status, 0);
    std::string menu = Menu("1.500", "62.500");
    EXPECT_EQ(r.output, kBanner + std::string(kEntries) + menu + menu + menu +
                            "Enter filename\nFile name longer than 255 characters: not saved\n" +
                            menu);
}

TEST(Dialogue, TimeFieldArgumentAndOtherFile) {
    Session s;
    WriteFile(s.dir.file("one.txt"), "begin\nt\t1\t2\t500\nv\t9\t-1\n");
    auto r = s.Run("x\n", {"one.txt", "1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, kBanner +
                            std::string("The t lines of one.txt have 3 time fields, but 1 is in "
                                        "use: the times would be misread\n"
                                        "Use 'cf' to set the time fields before saving\n") +
                            "\nEntries:\nch 9:  1\n" + Menu("1.000", "1.000"));
    auto bad = s.Run("x\n", {"one.txt", "5"});  // not 1 to 3: three fields
    EXPECT_EQ(bad.output,
              kBanner + std::string("\nEntries:\nch 9:  1\n") + Menu("62.500", "62.500"));
}

TEST(Dialogue, MisreadTimesAskFirst) {
    const char* oneField = "begin\nsong\nt\t62.5\nv\t9\t-1\nend\n";
    const std::string misread =
        "The t lines of faders.txt have 1 time field, but 3 are in use: the times would be "
        "misread\n";
    const std::string hint = "Use 'cf' to set the time fields before saving\n";
    const std::string question =
        "Type 'o' to use the times as read, or any other key to cancel ('cf' sets the time "
        "fields)\n";
    // A save is refused until the count matches; "cf" reads the times again.
    Session s(oneField);
    auto r = s.Run("pf\nx.txt\nnt\nn\ncf\n1\npf\nout.txt\nx\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, kBanner + misread + hint + "\nEntries:\nch 9:  1\n" +
                            Menu("3750.000", "3750.000") + misread + question +
                            Menu("3750.000", "3750.000") + misread + question +
                            Menu("3750.000", "3750.000") +
                            "Currently using 3 time fields\nEnter new value (1-3)\n"
                            "The times were read again with 1 time field\n" +
                            Menu("62.500", "62.500") + "Enter filename\nWrite complete\n" +
                            Menu("62.500", "62.500"));
    EXPECT_FALSE(FileExists(s.dir.file("x.txt")));
    EXPECT_EQ(ReadFile(s.dir.file("out.txt")), "begin\nsong\n\nt\t62.500\nv\t9\t-1.00\nend\n");
    // Or the user accepts the times as read, once.
    Session o(oneField);
    auto accepted = o.Run("av\n1\nnt\no\n1\npf\nout.txt\nx\n");
    EXPECT_EQ(accepted.output,
              kBanner + misread + hint + "\nEntries:\nch 9:  1\n" + Menu("3750.000", "3750.000") +
                  kEveryFader + Menu("3750.000", "3750.000") + misread + question +
                  "Enter nudge amount in seconds\n" + Menu("3751.000", "3751.000") +
                  "Enter filename\nWrite complete\n" + Menu("3751.000", "3751.000"));
    EXPECT_EQ(ReadFile(o.dir.file("out.txt")), "begin\nsong\n\nt\t62\t31\t0\nv\t9\t0.00\nend\n");
}

TEST(Dialogue, TempoMapAsksBeforeMovingTimes) {
    Session s("begin\nsong\ntmap\t120\t4\t8\nt\t2\t1\t0\nv\t1\t0\nend\n");
    auto r = s.Run("nt\nk\nst\no\n2\nnt\n1\nps\nx\n");
    EXPECT_EQ(r.status, 0);
    const std::string question =
        "The t lines may count bars and beats, which a nudge or scale treats as minutes and "
        "seconds\nType 'o' to go on or any other key to cancel\n";
    EXPECT_EQ(r.output,
              kBanner +
                  std::string("The file has a tempo map (tmap lines): its t lines may "
                              "count bars, beats and ticks\n") +
                  "\nEntries:\nch 1:  1\n" + Menu("121.000", "121.000") + question +
                  Menu("121.000", "121.000") + question + "Enter scale factor (0.001 to 1000)\n" +
                  Menu("242.000", "242.000") + "Enter nudge amount in seconds\n" +
                  Menu("243.000", "243.000") +
                  Screen("begin\nsong\ntmap\t120\t4\t8\n\nt\t4\t3\t0\nv\t1\t0.00\nend\n") +
                  Menu("243.000", "243.000"));
}

TEST(Dialogue, EmptyAndNegativeFiles) {
    Session empty("begin\nend\n");
    auto r = empty.Run("ps\nx\n");
    EXPECT_EQ(r.output, kBanner + std::string("\nEntries:\n") + Menu("0.000", "0.000") +
                            "\nbegin\nend\n\n" + Menu("0.000", "0.000"));
    Session negative("begin\nt\t-3\nv\t1\t0\n");
    auto n = negative.Run("x\n", {"faders.txt", "1"});
    EXPECT_EQ(n.output, kBanner + std::string("\nEntries:\nch 1:  1\n") + Menu("-3.000", "0.000"));
}

// A missing file is named, followed by the help, and nothing else happens.
TEST(Dialogue, MissingFileShowsHelp) {
    testsupport::TempDir dir;
    auto r = RunProgram(OSTRAND_BIN, {}, dir.path(), "x\n");
    EXPECT_EQ(r.status, 1);
    const std::string named = std::string(kBanner) + "File faders.txt not found\n\nHelp:\n";
    ASSERT_EQ(r.output.substr(0, named.size()), named);
    auto other = RunProgram(OSTRAND_BIN, {"none.txt", "2"}, dir.path(), "x\n");
    EXPECT_EQ(other.status, 1);
    EXPECT_EQ(other.output, std::string(kBanner) + "File none.txt not found\n" +
                                r.output.substr(named.size() - 7));
    EXPECT_EQ(r.output.find("Entries"), std::string::npos);
    EXPECT_FALSE(FileExists(dir.file("faders.txt")));
}
