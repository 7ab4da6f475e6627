#include "mixer/run/track_list.hpp"

#include <gtest/gtest.h>

#include "support/test_support.hpp"

using namespace varnel;

namespace {

TrackList Parse(const std::string& text, int mode, char sep, std::string* out = nullptr,
               std::string* path = nullptr) {
    testsupport::TempDir d;
    testsupport::WriteFile(d.file("t.txt"), text);
    if (path) *path = d.file("t.txt");
    TrackList t;
    testing::internal::CaptureStdout();
    EXPECT_EQ(CountTracks(d.file("t.txt"), sep, 2, t), 0);
    ParseTracks(t, mode, sep);
    std::string o = testing::internal::GetCapturedStdout();
    if (out) *out = o;
    return t;
}

}  // namespace

TEST(TrackList, DefaultModeSwitches) {
    std::string out;
    TrackList t = Parse("begin\n1 a.wav +\n2 b.wav -\n5  c.wav +\nend\n", 2, ' ', &out);
    EXPECT_EQ(out, "Counted 3 tracks\n");
    ASSERT_EQ(t.count, 3);
    EXPECT_EQ(t.names[1], "a.wav");
    EXPECT_EQ(t.names[2], "b.wav");
    EXPECT_EQ(t.names[3], "c.wav");  // label 5 is not a channel number; runs of spaces collapse
    EXPECT_EQ(t.enabled[1], 1);
    EXPECT_EQ(t.enabled[2], 0);
    EXPECT_EQ(t.enabled[3], 1);
    EXPECT_EQ(t.storedNames[0], "a.wav");
}

TEST(TrackList, SoloReplacesEnables) {
    TrackList t = Parse("begin\na.wav +\nb.wav ++\nc.wav ++\nd.wav +\nend\n", 1, ' ');
    EXPECT_EQ(t.enabled[1], 0);
    EXPECT_EQ(t.enabled[2], 1);
    EXPECT_EQ(t.enabled[3], 1);
    EXPECT_EQ(t.enabled[4], 0);
}

TEST(TrackList, ModesZeroAndTab) {
    TrackList z = Parse("begin\nx.wav\ny y.wav\nend\n", 0, ' ');
    ASSERT_EQ(z.count, 2);
    EXPECT_EQ(z.names[2], "y y.wav");
    EXPECT_EQ(z.enabled[1] + z.enabled[2], 2);
    std::string out, path;
    TrackList tab = Parse("begin\n1\tmy  song.wav\t+\nend\n", 2, '\t', &out, &path);
    EXPECT_EQ(tab.names[1], "my  song.wav");
    EXPECT_EQ(tab.enabled[1], 1);
    EXPECT_EQ(out, "\n" + path + ":2: >>>  Warning: Extra space found on line 2 of tracks file.\n"
                   "Counted 1 track\n");
}

TEST(TrackList, CountingRules) {
    // "end" followed by a space does not end the list; the first line always counts.
    TrackList a = Parse("begin\n1 a.wav +\nend \n2 b.wav +\nend\n3 c.wav +\n", 2, ' ');
    EXPECT_EQ(a.count, 3);
    TrackList b = Parse("begin\nend\n", 2, ' ');
    EXPECT_EQ(b.count, 1);
    for (int lines : {127, 128}) {
        std::string many = "begin\n";
        for (int i = 0; i < lines; ++i) many += "1 t" + std::to_string(i) + ".wav +\n";
        std::string out;
        TrackList c = Parse(many, 2, ' ', &out);
        EXPECT_EQ(c.count, 127);
        EXPECT_EQ(out.find("only the first 127 are mixed") != std::string::npos, lines > 127);
        EXPECT_EQ(c.names[127], "t126.wav");
    }
}

TEST(TrackList, MissingFile) {
    testsupport::TempDir d;
    TrackList t;
    testing::internal::CaptureStdout();
    EXPECT_EQ(CountTracks(d.file("none.txt"), ' ', 2, t), 2);
    // The message names the file asked for.
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              d.file("none.txt") + " file was not found.\nCreate the file and run again.\nExiting...\n");
}
