#include "mixer/effects/fade_tables.hpp"

#include <gtest/gtest.h>

using namespace varnel;

// The tables hold the gain law's own values, are shared by equal laws and
// stop growing at their limits (the law is then computed step by step).
TEST(FadeTables, HoldTheLawsValuesWithinBoundedMemory) {
    FadeTables t;
    const double* attack = FindFade(t, 480, 3.0, false);
    const double* release = FindFade(t, 9600, 3.0, true);
    ASSERT_NE(attack, nullptr);
    ASSERT_NE(release, nullptr);
    for (int k = 0; k <= 480; ++k) ASSERT_EQ(attack[k], AttackGain(k, 480, 3.0)) << k;
    for (int k = 0; k <= 9600; ++k) ASSERT_EQ(release[k], ReleaseGain(k, 9600, 3.0)) << k;
    EXPECT_DOUBLE_EQ(attack[480], 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(release[9600], 1.0);

    EXPECT_EQ(FindFade(t, 480, 3.0, false), attack);     // shared, and still valid
    EXPECT_EQ(FindFade(t, 9600, 3.0, true), release);
    EXPECT_NE(FindFade(t, 480, 4.0, false), attack);      // another ratio, another table
    EXPECT_EQ(FindFade(t, kMaxFadeTable + 1, 3.0, true), nullptr);
    EXPECT_EQ(FindFade(t, 0, 3.0, true), nullptr);

    FadeTables full;
    int span = kMaxFadeTable;
    while (full.entries + size_t(span) + 1 <= kMaxFadeEntries) ASSERT_NE(FindFade(full, span--, 2.0, false), nullptr);
    EXPECT_EQ(FindFade(full, span, 2.0, false), nullptr);
    EXPECT_LE(full.entries, kMaxFadeEntries);

    SwitchedLaw law = MakeLaw(480, 9600, 3.0, 1000);
    law.attackGains = attack;
    EXPECT_EQ(LawAttackGain(law, 17), AttackGain(17, 480, 3.0));
    EXPECT_EQ(LawAttackGain(law, 481), AttackGain(481, 480, 3.0));   // past the table: the law
    EXPECT_EQ(LawReleaseGain(law, 5), ReleaseGain(5, 9600, 3.0));    // no table: the law
}
