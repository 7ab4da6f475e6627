// The hottest sample loops are built twice and chosen at run time, all in one
// way:
// - the loop is written once, as a body marked VARNEL_KERNEL (always
//   inlined, so it is compiled into whichever function calls it, with that
//   function's instruction set);
// - VARNEL_BUILD_TWICE(Body) makes its two builds: Body##Avx2, a function
//   built for AVX2 (VARNEL_AVX2), and Body##Baseline, built for the
//   baseline instruction set;
// - VARNEL_RUN(kernel, Body, args...) calls the AVX2 build when the
//   processor has AVX2 (UseAvx2), else the baseline one. Routines whose
//   builds the tests hold to each other take the Kernel as a parameter;
//   Kernel::kBaseline asks for the baseline build on any processor.
// Bodies hold no instruction-set intrinsics, so GCC and clang build both
// forms from the same source: where AVX2 has one instruction for a select
// (max, min, a blend), the body writes the select over vector types
// (MaxSelect, MinSelect, a ? b : c) and the compiler picks the instruction
// in each build.
// The results are the same bit for bit: these loops do integer work, exact
// conversions and single IEEE operations (each rounded the same in either
// build), and no fused multiply-add is enabled.
#pragma once

#include <utility>

#if defined(__x86_64__) && defined(__GNUC__)
#define VARNEL_AVX2_KERNELS 1
#define VARNEL_AVX2 __attribute__((target("avx2")))
#else
#define VARNEL_AVX2_KERNELS 0
#define VARNEL_AVX2
#endif

#define VARNEL_KERNEL [[gnu::always_inline]] inline

#define VARNEL_BUILD_TWICE(Body)                            \
    template <class... Args>                                \
    VARNEL_AVX2 decltype(auto) Body##Avx2(Args&&... args) { \
        return Body(std::forward<Args>(args)...);           \
    }                                                       \
    template <class... Args>                                \
    decltype(auto) Body##Baseline(Args&&... args) {         \
        return Body(std::forward<Args>(args)...);           \
    }

#define VARNEL_RUN(kernel, Body, ...) \
    (::varnel::UseAvx2(kernel) ? Body##Avx2(__VA_ARGS__) : Body##Baseline(__VA_ARGS__))

namespace varnel {

// Four doubles, and the selects AVX2 has one instruction for: maxpd(a, b) is
// a > b ? a : b and minpd(a, b) is a < b ? a : b (a NaN in b comes back, a
// NaN in a gives b).
typedef double Four __attribute__((vector_size(32)));
typedef long long FourBits __attribute__((vector_size(32)));
template <class V>
VARNEL_KERNEL V MaxSelect(V a, V b) {
    return a > b ? a : b;
}
template <class V>
VARNEL_KERNEL V MinSelect(V a, V b) {
    return a < b ? a : b;
}

// A value the compiler may not treat as a constant. GCC writes a select
// against a constant as a compare and a blend, where a select against a value
// it does not know is one max or min instruction: bodies pass the constant
// bounds of their selects through Opaque once, ahead of the loop.
template <class V>
VARNEL_KERNEL V Opaque(V v) {
    asm("" : "+m"(v));
    return v;
}

// Which build of a kernel to run: the best the processor runs, or the
// baseline (for tests, which hold the two to each other).
enum class Kernel { kBest, kBaseline };

inline bool UseAvx2([[maybe_unused]] Kernel kernel) {
#if VARNEL_AVX2_KERNELS
    return kernel == Kernel::kBest && __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

}  // namespace varnel
