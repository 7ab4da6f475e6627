#include "mixer/utilities/text/param_reader.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace varnel;

namespace {

struct Read {
    std::unique_ptr<ParamTable> table = std::make_unique<ParamTable>();
    int master = 0, any = 0;
    std::string out;
};

Read Scan(const std::string& text, const char* keyword, int count) {
    Read r;
    testing::internal::CaptureStdout();
    ParamsFromBuffer(text, keyword, *r.table, count, r.master, r.any);
    r.out = testing::internal::GetCapturedStdout();
    return r;
}

}  // namespace

TEST(ParamsFromBuffer, FillsRowsByDesignator) {
    Read r = Scan("\ncomp\t3\t-10\t5\t50\t4\ncomp\tG\t2\t-3\t1\t2\t2.5\n", "comp", 5);
    const auto& ch = (*r.table)[3];
    EXPECT_EQ(ch[0], 1.0);
    EXPECT_EQ(ch[1], -10.0);
    EXPECT_EQ(ch[2], 5.0);
    EXPECT_EQ(ch[3], 50.0);
    EXPECT_EQ(ch[4], 4.0);
    EXPECT_EQ((*r.table)[129][0], 1.0);
    EXPECT_EQ((*r.table)[129][4], 2.5);
    EXPECT_EQ((*r.table)[1][0], 0.0);
    EXPECT_EQ(r.master, 0);
    EXPECT_EQ(r.any, 0);
    EXPECT_EQ(r.out, "");
}

TEST(ParamsFromBuffer, MasterAndZeroDesignators) {
    Read m = Scan("\nlim\tM\t-1\n", "lim", 2);
    EXPECT_EQ((*m.table)[0][1], -1.0);
    EXPECT_EQ(m.master, 1);
    EXPECT_EQ(m.any, 1);
    for (const char* d : {"0", "x"}) {  // slot 0 without the master flags
        Read z = Scan(std::string("\nlim\t") + d + "\t-2\n", "lim", 2);
        EXPECT_EQ((*z.table)[0][1], -2.0);
        EXPECT_EQ(z.master, 0);
        EXPECT_EQ(z.any, 0);
    }
}

TEST(ParamsFromBuffer, OutOfRangeSlotsGoTo135) {
    Read r = Scan("\nlim\t200\t-1\nlim\t-1\t-2\nlim\tG\t9\t-3\n", "lim", 2);
    EXPECT_EQ((*r.table)[135][1], -3.0);  // last line wins
    EXPECT_EQ(r.out,
        ">>Channel number out of range or not specified!\n"
        ">>Channel number out of range or not specified!\n"
        ">>Channel number out of range or not specified!\n");
}

TEST(ParamsFromBuffer, StopsAtEndAndSkipsNonNumbers) {
    Read r = Scan("\nhp\t1\tnan\nhp\t2\tinf\nend\nhp\t3\t100\n", "hp", 2);
    EXPECT_EQ((*r.table)[1][0], 1.0);
    EXPECT_EQ((*r.table)[1][1], 0.0);
    EXPECT_EQ((*r.table)[2][1], 0.0);
    EXPECT_EQ((*r.table)[3][0], 0.0);
    Read last = Scan("\nx\thp", "hp", 2);  // keyword without a value
    EXPECT_EQ((*last.table)[0][0], 0.0);
}

TEST(ParamsFromBuffer, EffectNameInOrderLineIsNotAnEffectLine) {
    Read r = Scan("\norder\tcomp\t4\t1\ncomp\t5\t-3\t1\t20\t2\n", "comp", 5);
    EXPECT_EQ((*r.table)[4][0], 0.0);
    EXPECT_EQ((*r.table)[1][0], 0.0);
    EXPECT_EQ((*r.table)[5][0], 1.0);
}
