#include "mixer/utilities/fader_script/order_lines.hpp"
#include "mixer/utilities/text/keyword_catalogue.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace varnel;

namespace {

struct Positions {
    int p[kChainEffects][kSlots];
};

std::unique_ptr<Positions> Read(const std::string& content) {
    auto pos = std::make_unique<Positions>();
    for (auto& row : pos->p)
        for (int& v : row) v = kDefaultPosition;
    ReadOrderLines(content, pos->p);
    return pos;
}

}  // namespace

// Each effect of the chain is named by the fader-file keyword that sets it.
TEST(OrderLines, Names) {
    for (int e = 0; e < kChainEffects; ++e) {
        EXPECT_TRUE(IsFaderKeyword(ChainEffectName(e))) << e;
        EXPECT_EQ(ChainEffectIndex(ChainEffectName(e)), e);
    }
    EXPECT_EQ(ChainEffectIndex("rev"), -1);
}

TEST(OrderLines, SlotDesignatorsAndPositions) {
    auto pos = Read("\norder\tcomp\t4\t1\norder\tlim\tM\t3\norder\thp\tG\t2\t5\n"
                    "order:band1:7:2\norder\trms\t9\t0\n");
    EXPECT_EQ(pos->p[kComp][4], 1);
    EXPECT_EQ(pos->p[kHp][4], 11);
    EXPECT_EQ(pos->p[kLim][0], 3);
    EXPECT_EQ(pos->p[kHp][129], 5);
    EXPECT_EQ(pos->p[kBand1][7], 2);
    EXPECT_EQ(pos->p[kRms][9], 0);
}

TEST(OrderLines, IgnoredLines) {
    auto pos = Read("\norder\tcomp\t137\t1\norder\tcomp\t-1\t2\norder\trev\t3\t1\n"
                    "order\tcomp\t5\norder\tcomp\tG\nofs\t0.5\ncomp\t6\t-3\t1\t2\t3\n"
                    "end\norder\tcomp\t8\t1\n");
    for (int e = 0; e < kChainEffects; ++e)
        for (int s = 0; s < kSlots; ++s) ASSERT_EQ(pos->p[e][s], 11) << e << " " << s;
}

TEST(OrderLines, LinesDoNotRunIntoEachOther) {
    // "ofs" and a mix name starting with "o" stand alone on their lines.
    auto pos = Read("outro\nofs\ncomp\t3\t-10\t10\t100\t4\n");
    EXPECT_EQ(pos->p[kComp][3], 11);
    EXPECT_EQ(pos->p[kComp][0], 11);
}

TEST(OrderLines, EffectFieldDetection) {
    std::string c = "\norder\tcomp\t4\t1\ncomp\t4\t-3\nx\torder\tcomp\n";
    EXPECT_TRUE(IsOrderEffectField(c, c.find("comp")));
    EXPECT_FALSE(IsOrderEffectField(c, c.find("comp\t4\t-3")));
    EXPECT_FALSE(IsOrderEffectField(c, c.rfind("comp")));  // third field
    EXPECT_FALSE(IsOrderEffectField(c, c.size()));
}
