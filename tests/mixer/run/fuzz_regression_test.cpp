// Inputs the fuzz targets once crashed on, kept as cases of their own. The
// same bytes are kept under tests/fuzz/regressions/ for replaying.
#include <gtest/gtest.h>

#include "mixer/run/prefs.hpp"

using namespace varnel;

namespace {

Prefs PrefsFromText(const std::string& text) {
    Prefs p;
    p.file.whole = text;
    p.file.content = ContentAfterBegin(text);
    p.verbosity = 1;
    return p;
}

}  // namespace

// Huge in, out, head and tail positions: the window arithmetic once
// overflowed (an in point of 1e38 seconds plus a head of 1 second).
TEST(FuzzRegression, HugeWindowPositionsAreRejectedWithoutOverflow) {
    const std::string kWindow = "Head or tail set incorrectly in preferences!\n";
    const struct {
        const char* text;
        int status;
        int64_t start, length;
        std::string message;
    } cases[] = {
        {"xin\t1e38\nhead\t1", 2, 0, 0, kWindow},  // the fuzzer's input (one time field: no xfields)
        {"xfields\t1\nxin\t-1e38\nxout\t1e38\nhead\t1\ntail\t1\n", 2, 0, 0, kWindow},
        {"xfields\t1\nxin\t1e38\nxout\t-1e38\n", 2, 0, 0, kWindow},
        // A head past the song is reported (a negative tail is ignored).
        {"xfields\t1\nhead\t1e38\ntail\t-1e38\n", 2, 0, 0,
         " is not shorter than the song (0:10.000).\n"},
        // An out point past the end of any WAV file is cut at the song's end.
        {"xfields\t1\nxout\t1e38\n", 0, 0, 480000,
         "Warning: the mix window ends past the song's end; it is cut at 0:10.000.\n"},
    };
    for (const auto& c : cases) {
        Prefs p = PrefsFromText(c.text);
        MixWindow w;
        testing::internal::CaptureStdout();
        int status = ComputeMixWindow(p, 480000, 48000.0, w);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, c.status) << c.text;
        EXPECT_NE(out.find(c.message), std::string::npos) << c.text << out;
        if (c.status == 0) {
            EXPECT_EQ(w.start, c.start) << c.text;
            EXPECT_EQ(w.length, c.length) << c.text;
        }
    }
}
