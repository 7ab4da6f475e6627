#include "mixer/effects/filter_cascade.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "mixer/effects/eq.hpp"
#include "mixer/effects/hpf.hpp"

using namespace varnel;

namespace {

constexpr int kSlot = 3;

// Same bits, or both NaN (a NaN's payload may depend on operand order).
bool SameValue(double a, double b) {
    if (std::isnan(a) && std::isnan(b)) return true;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Samples that exercise the input lift: ordinary values, values inside and
// at the edges of +-0.0001, both zeros.
std::vector<double> Signal(int n, uint32_t seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> big(-3.0e6, 3.0e6), tiny(-2.0e-4, 2.0e-4);
    const double special[] = {0.0, -0.0, 0.0001, -0.0001, 0.00009999, -0.00009999, 5e-310};
    std::vector<double> x(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const uint32_t r = gen() % 16;
        x[size_t(i)] = r < 10 ? big(gen) : r < 14 ? tiny(gen) : special[gen() % 7];
    }
    return x;
}

struct Stages {
    std::unique_ptr<HpfState> hpf = std::make_unique<HpfState>();
    std::unique_ptr<EqState> eq = std::make_unique<EqState>();
};

// A stage list: 'H' the high-pass, 'B' a biquad (EQ stages 1, 2, ...).
void Seed(Stages& s, const std::string& kinds, uint32_t seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> v(-1.0e5, 1.0e5);
    s.hpf->OldXL[kSlot] = v(gen), s.hpf->OldYL[kSlot] = v(gen);
    s.hpf->OldXR[kSlot] = v(gen), s.hpf->OldYR[kSlot] = v(gen);
    for (size_t k = 0; k < kinds.size(); ++k) {
        s.eq->in1L[kSlot][k + 1] = v(gen), s.eq->in2L[kSlot][k + 1] = v(gen);
        s.eq->out1L[kSlot][k + 1] = v(gen), s.eq->out2L[kSlot][k + 1] = v(gen);
        s.eq->in1R[kSlot][k + 1] = v(gen), s.eq->in2R[kSlot][k + 1] = v(gen);
        s.eq->out1R[kSlot][k + 1] = v(gen), s.eq->out2R[kSlot][k + 1] = v(gen);
    }
}

// Stable but lively coefficients, different for every stage.
void Coefficients(int stage, double c[5], double strip = 0.0) {
    const double r = 0.9 - 0.05 * stage - strip, w = 0.3 + 0.2 * stage + strip;
    c[0] = 1.0 + 0.1 * stage;
    c[1] = -1.7 + 0.15 * stage;
    c[2] = 0.72 - 0.02 * stage;
    c[3] = -2.0 * r * std::cos(w);
    c[4] = r * r;
}

void RunOneByOne(Stages& s, const std::string& kinds, double* L, double* R, int n) {
    int settled = 1;
    for (size_t k = 0; k < kinds.size(); ++k) {
        if (kinds[k] == 'H') {
            HPF(*s.hpf, n, kSlot, L, R, 0.995, 0.9975, settled);
        } else {
            double c[5];
            Coefficients(int(k), c);
            int flag = 2;
            EQ(*s.eq, n, kSlot, int(k) + 1, L, R, c[0], c[1], c[2], c[3], c[4], flag);
        }
    }
}

void MakeStages(Stages& s, const std::string& kinds, CascadeStage* st, double strip = 0.0) {
    for (size_t k = 0; k < kinds.size(); ++k) {
        if (kinds[k] == 'H') {
            st[k] = {true, {0.995, 0.9975, 0, 0, 0},
                     {&s.hpf->OldXL[kSlot], &s.hpf->OldYL[kSlot], nullptr, nullptr},
                     {&s.hpf->OldXR[kSlot], &s.hpf->OldYR[kSlot], nullptr, nullptr}};
        } else {
            const int q = int(k) + 1;
            EqState& e = *s.eq;
            st[k] = {false, {}, {&e.in1L[kSlot][q], &e.in2L[kSlot][q], &e.out1L[kSlot][q], &e.out2L[kSlot][q]},
                     {&e.in1R[kSlot][q], &e.in2R[kSlot][q], &e.out1R[kSlot][q], &e.out2R[kSlot][q]}};
            Coefficients(int(k), st[k].c, strip);
        }
        if (kinds[k] == 'H') st[k].c[0] -= strip;
    }
}

void RunCascade(Stages& s, const std::string& kinds, double* L, double* R, int n,
                Kernel kernel = Kernel::kBest) {
    CascadeStage st[kMaxCascadeStages];
    MakeStages(s, kinds, st);
    FilterCascade(st, int(kinds.size()), L, R, n, kernel);
}

// Every build of the cascade kernel: the one the processor runs and the
// baseline, which the processor may not pick on its own.
const Kernel kKernels[] = {Kernel::kBest, Kernel::kBaseline};

std::string KernelName(Kernel k) { return k == Kernel::kBest ? " best" : " baseline"; }

}  // namespace

// Any run of settled filters, in any order and over any length, gives the
// same samples and leaves the same memories as the stages run one by one.
TEST(FilterCascade, SameBitsAsStagesRunOneByOne) {
    const std::string chains[] = {"H",      "B",    "HB",     "BB",      "BBB",     "HBBBB",
                                  "BBBBBB", "BHBB", "BBBBBH", "HBBBBBB", "BBBBHBB"};
    const int lengths[] = {1, 2, 3, 4, 5, 6, 7, 1023, 1024, 1025, 2500};
    uint32_t seed = 1;
    for (Kernel kernel : kKernels) {
        for (const std::string& kinds : chains)
            for (int n : lengths) {
                SCOPED_TRACE(kinds + " n=" + std::to_string(n) + KernelName(kernel));
                Stages a, b;
                Seed(a, kinds, seed);
                Seed(b, kinds, seed);
                std::vector<double> L1 = Signal(n, seed + 100), R1 = Signal(n, seed + 200);
                std::vector<double> L2 = L1, R2 = R1;
                RunOneByOne(a, kinds, L1.data(), R1.data(), n);
                RunCascade(b, kinds, L2.data(), R2.data(), n, kernel);
                for (int i = 0; i < n; ++i) {
                    ASSERT_TRUE(SameValue(L1[size_t(i)], L2[size_t(i)])) << "left frame " << i;
                    ASSERT_TRUE(SameValue(R1[size_t(i)], R2[size_t(i)])) << "right frame " << i;
                }
                EXPECT_EQ(std::memcmp(a.hpf.get(), b.hpf.get(), sizeof(HpfState)), 0);
                EXPECT_EQ(std::memcmp(a.eq.get(), b.eq.get(), sizeof(EqState)), 0);
                ++seed;
            }
    }
}

// NaN passes the lift unchanged and stays NaN in every stage after it.
TEST(FilterCascade, NanPassesThrough) {
    for (Kernel kernel : kKernels) {
        SCOPED_TRACE(KernelName(kernel));
        Stages a;
        Seed(a, "HB", 7);
        std::vector<double> L = {1.0, std::nan(""), 2.0}, R = {1.0, 2.0, 3.0};
        RunCascade(a, "HB", L.data(), R.data(), 3, kernel);
        EXPECT_FALSE(std::isnan(L[0]));
        EXPECT_TRUE(std::isnan(L[1]));
        EXPECT_TRUE(std::isnan(L[2]));
        EXPECT_FALSE(std::isnan(R[2]));
    }
}

// Two strips side by side give what each gives alone, samples and memories,
// with different coefficients and memories per strip.
TEST(FilterCascade, TwoStripsSideBySideAsEachAlone) {
    const std::string chains[] = {"H", "B", "HBB", "HBBBB", "BBBBBB", "BHBB", "BBBBHBB"};
    uint32_t seed = 500;
    for (Kernel kernel : kKernels) {
        for (const std::string& kinds : chains)
            for (int n : {1, 2, 3, 4, 6, 1024, 1025, 2500}) {
                SCOPED_TRACE(kinds + " n=" + std::to_string(n) + KernelName(kernel));
                Stages a1, b1, a2, b2;
                Seed(a1, kinds, seed);
                Seed(a2, kinds, seed);
                Seed(b1, kinds, seed + 1);
                Seed(b2, kinds, seed + 1);
                std::vector<double> LA = Signal(n, seed + 2), RA = Signal(n, seed + 3);
                std::vector<double> LB = Signal(n, seed + 4), RB = Signal(n, seed + 5);
                std::vector<double> LA2 = LA, RA2 = RA, LB2 = LB, RB2 = RB;
                CascadeStage sa1[kMaxCascadeStages], sb1[kMaxCascadeStages];
                CascadeStage sa2[kMaxCascadeStages], sb2[kMaxCascadeStages];
                MakeStages(a1, kinds, sa1);
                MakeStages(b1, kinds, sb1, 0.01);
                MakeStages(a2, kinds, sa2);
                MakeStages(b2, kinds, sb2, 0.01);
                const int count = int(kinds.size());
                FilterCascade(sa1, count, LA.data(), RA.data(), n, kernel);
                FilterCascade(sb1, count, LB.data(), RB.data(), n, kernel);
                FilterCascadePair(sa2, sb2, count, LA2.data(), RA2.data(), LB2.data(), RB2.data(), n,
                                  kernel);
                for (int i = 0; i < n; ++i) {
                    ASSERT_TRUE(SameValue(LA[size_t(i)], LA2[size_t(i)])) << "first left " << i;
                    ASSERT_TRUE(SameValue(RA[size_t(i)], RA2[size_t(i)])) << "first right " << i;
                    ASSERT_TRUE(SameValue(LB[size_t(i)], LB2[size_t(i)])) << "second left " << i;
                    ASSERT_TRUE(SameValue(RB[size_t(i)], RB2[size_t(i)])) << "second right " << i;
                }
                EXPECT_EQ(std::memcmp(a1.hpf.get(), a2.hpf.get(), sizeof(HpfState)), 0);
                EXPECT_EQ(std::memcmp(a1.eq.get(), a2.eq.get(), sizeof(EqState)), 0);
                EXPECT_EQ(std::memcmp(b1.hpf.get(), b2.hpf.get(), sizeof(HpfState)), 0);
                EXPECT_EQ(std::memcmp(b1.eq.get(), b2.eq.get(), sizeof(EqState)), 0);
                seed += 7;
            }
    }
}
