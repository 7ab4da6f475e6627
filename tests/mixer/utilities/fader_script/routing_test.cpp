#include <gtest/gtest.h>

#include <string>

#include "mixer/utilities/fader_script/routing.hpp"
#include "mixer/utilities/fader_script/start_offsets.hpp"

using namespace varnel;

namespace {

struct RoutingRun {
    ScriptContext ctx;
    Routing r;
    std::string output;
    explicit RoutingRun(const std::string& content) {
        ctx.trackCount = 4;
        for (int ch = 1; ch <= 4; ++ch) ctx.active[size_t(ch)] = 1;
        testing::internal::CaptureStdout();
        RoutingPass(content, ctx, r);
        VcaPass(content, r);
        output = testing::internal::GetCapturedStdout();
    }
    std::array<int, 5> Active() const {
        return {ctx.active[0], ctx.active[1], ctx.active[2], ctx.active[3], ctx.active[4]};
    }
};

}  // namespace

TEST(Routing, SubmixesMutesSolosAndFeederMutes) {
    RoutingRun plain("\nv\t1\t0\n");
    EXPECT_EQ(plain.r.route[3][0], 1);
    EXPECT_FALSE(plain.r.nineBuses);
    EXPECT_EQ(plain.Active(), (std::array<int, 5>{0, 1, 1, 1, 1}));

    RoutingRun sub("\nsub\t1\t1,2\n");
    EXPECT_EQ(sub.r.route[1][1], 1);
    EXPECT_EQ(sub.r.route[1][0], 0);
    EXPECT_EQ(sub.r.route[3][0], 1);
    EXPECT_TRUE(sub.r.nineBuses);
    EXPECT_EQ(sub.Active(), (std::array<int, 5>{0, 1, 1, 1, 1}));

    RoutingRun muted("\nsub\t1\t1,2\nsubmu\t1\n");
    EXPECT_EQ(muted.Active(), (std::array<int, 5>{0, 0, 0, 1, 1}));
    EXPECT_FALSE(muted.r.nineBuses);

    RoutingRun solo("\nsub\t8\t3\nsubso\t8\n");  // the highest submix
    EXPECT_EQ(solo.r.busActive[0], 0);
    EXPECT_EQ(solo.r.busActive[8], 1);
    EXPECT_EQ(solo.Active(), (std::array<int, 5>{0, 0, 0, 1, 0}));

    RoutingRun both("\nsub\t0\t4\nsub\t3\t4,200\nsub\t9\t1\nsub\t8\t127,128\n");
    EXPECT_EQ(both.r.route[4][0], 1);
    EXPECT_EQ(both.r.route[4][3], 1);
    EXPECT_EQ(both.r.route[127][8], 1);
    EXPECT_EQ(both.output, "Submix number out of range!\nChannel assigned to sub 3 is out of range!\n"
                           "Channel assigned to sub 8 is out of range!\n");
}

TEST(Routing, VcaMembership) {
    RoutingRun v("\nVCA:\t2\t1,3,0,130\nVCA:\t8\t3,137\nVCA:\t9\t1\n");
    EXPECT_TRUE(AnyVcaActive(v.r));
    EXPECT_EQ(v.r.vcaMember[1], 2);
    EXPECT_EQ(v.r.vcaMember[3], 8);  // the highest-numbered VCA wins
    EXPECT_EQ(v.r.vcaMember[0], 2);
    EXPECT_EQ(v.r.vcaMember[130], 2);
    EXPECT_EQ(v.output, "VCA fader out of range!\nChannel assigned to VCA 8 is out of range!\n");
    RoutingRun none("\n");
    EXPECT_FALSE(AnyVcaActive(none.r));
}

TEST(StartOffsetLines, TstampThenSstamp) {
    StartOffsets o;
    ASSERT_EQ(ReadStartOffsets("\nsstamp\t2\t100\ntstamp\t2\t0\t1\t500\nsstamp\t2\t-50\n"
                               "tstamp\t3\t1\t0\t0\ntstamp\t200\t1\t0\t0\nend\nsstamp\t3\t7\n",
                               48000.0, o),
              0);
    EXPECT_EQ(o[2], 72000 + 100 - 50);
    EXPECT_EQ(o[3], 60 * 48000);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ReadStartOffsets("\ntstamp\t1\t100000\t0\t0\n", 48000.0, o), 2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error:  Start offset of channel 1 (288000000000 samples) is out of range.\n");
}
