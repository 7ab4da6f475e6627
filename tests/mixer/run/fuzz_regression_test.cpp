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
    const struct {
        const char* text;
        int status;
        int64_t start, length;
    } cases[] = {
        {"xin\t1e38\nhead\t1", 2, 0, 0},  // the fuzzer's input (one time field: no xfields)
        {"xfields\t1\nxin\t-1e38\nxout\t1e38\nhead\t1\ntail\t1\n", 2, 0, 0},
        {"xfields\t1\nxin\t1e38\nxout\t-1e38\n", 2, 0, 0},
        {"xfields\t1\nhead\t1e38\ntail\t-1e38\n", 0, 0, 480000},  // out of range: ignored
        // An out point past the end of any WAV file still gives its huge
        // window, which the run then refuses as too long for a WAV file.
        {"xfields\t1\nxout\t1e38\n", 0, 0, int64_t(1) << 61},
    };
    for (const auto& c : cases) {
        Prefs p = PrefsFromText(c.text);
        MixWindow w;
        testing::internal::CaptureStdout();
        int status = ComputeMixWindow(p, 480000, 48000.0, w);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, c.status) << c.text;
        if (c.status == 2) {
            EXPECT_NE(out.find("Head or tail set incorrectly in preferences!\n"), std::string::npos)
                << c.text;
        } else {
            EXPECT_EQ(w.start, c.start) << c.text;
            EXPECT_EQ(w.length, c.length) << c.text;
        }
    }
}
