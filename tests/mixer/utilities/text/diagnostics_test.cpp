// The run's diagnostics record: each warning with its file, its line in that
// file (also with notes above "begin"), its text on one line, and whether the
// verbosity let it print.
#include "mixer/utilities/text/diagnostics.hpp"

#include <gtest/gtest.h>

#include "mixer/utilities/fader_script/fader_file.hpp"
#include "support/test_support.hpp"

using namespace varnel;

TEST(Diagnostics, RecordsFileLineTextAndPrinting) {
    testsupport::TempDir d;
    const std::string path = d.file("f.txt");
    testsupport::WriteFile(path, "notes\nbegin\nmix\nv\t1\t\t-6\nfoo\t1\nend\nbar\n");
    for (int verbosity : {1, 2}) {
        Diagnostics diag;
        TextFile f;
        testing::internal::CaptureStdout();
        ASSERT_EQ(LoadFaderScript(path, true, 1, verbosity, f, &diag), 0);
        const std::string out = testing::internal::GetCapturedStdout();
        ASSERT_EQ(diag.count, 2);
        ASSERT_EQ(diag.warnings.size(), 2u);
        const Warning& tab = diag.warnings[0];
        EXPECT_EQ(tab.file, path);
        EXPECT_EQ(tab.line, 4);
        EXPECT_EQ(tab.text, path + ":4: >>>  Warning: extra tab on line 4 of fader file.");
        const Warning& foo = diag.warnings[1];
        EXPECT_EQ(foo.line, 5);
        EXPECT_EQ(foo.text, "Warning: " + path + ":5: \"foo\" is not a keyword; the line is ignored.");
        // Fader-file line warnings show from verbosity 2; they are kept either way.
        EXPECT_EQ(tab.printed, verbosity >= 2);
        EXPECT_EQ(out.empty(), verbosity < 2) << out;
    }
}

TEST(Diagnostics, OneLineAndCount) {
    EXPECT_EQ(OneLine("\n>> Warning! Volume entry 1 on channel 2 is above +12 dB.  \nEntry reset\n"),
              ">> Warning! Volume entry 1 on channel 2 is above +12 dB. Entry reset");
    EXPECT_EQ(WarningCountLine(0), "0 warnings");
    EXPECT_EQ(WarningCountLine(1), "1 warning");
    EXPECT_EQ(WarningCountLine(2), "2 warnings");
}
