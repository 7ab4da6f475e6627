// The hottest sample loops are built twice, for the baseline instruction set
// and for AVX2, and the loader picks the one the processor runs. The results
// are the same bit for bit: these loops do integer work, exact conversions and
// single IEEE operations (each rounded the same in either build), and no fused
// multiply-add is enabled.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_ADDRESS__) && defined(__ELF__)
#define VARNEL_HOT_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define VARNEL_HOT_LOOP
#endif

// Kernels with more than one build in the program (the baseline and, on
// x86-64 with GCC, AVX2 inside a `#pragma GCC target` region) take the best
// the processor runs, unless a caller (a test) asks for the baseline.
enum class Kernel { kBest, kBaseline };

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VARNEL_AVX2_KERNELS 1
#define VARNEL_AVX2 __attribute__((target("avx2")))
inline bool CpuHasAvx2() { return __builtin_cpu_supports("avx2"); }
inline bool UseAvx2(Kernel kernel) { return kernel == Kernel::kBest && CpuHasAvx2(); }
#else
#define VARNEL_AVX2_KERNELS 0
#endif
