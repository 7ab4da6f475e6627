// The hottest sample loops have a build for AVX2 besides the baseline one,
// in one of two ways:
// - VARNEL_HOT_LOOP: the same source built twice, and the loader picks the
//   build the processor runs;
// - an AVX2 form written apart (a VARNEL_AVX2 function, or a kernel source
//   included a second time inside a `#pragma GCC target("avx2")` region)
//   where AVX2 has single instructions for what the baseline does in
//   several (max, min, blends), picked at run time by UseAvx2.
// The results are the same bit for bit: these loops do integer work, exact
// conversions and single IEEE operations (each rounded the same in either
// build), and no fused multiply-add is enabled.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) && defined(__ELF__)
#define VARNEL_HOT_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define VARNEL_HOT_LOOP
#endif

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VARNEL_AVX2_KERNELS 1
#define VARNEL_AVX2 __attribute__((target("avx2")))
#else
#define VARNEL_AVX2_KERNELS 0
#endif

namespace varnel {

// Which build of a kernel with an AVX2 form to run: the best the processor
// runs, or the baseline (for tests, which hold the two to each other).
enum class Kernel { kBest, kBaseline };

#if VARNEL_AVX2_KERNELS
inline bool UseAvx2(Kernel kernel) {
    return kernel == Kernel::kBest && __builtin_cpu_supports("avx2");
}
#endif

}  // namespace varnel
