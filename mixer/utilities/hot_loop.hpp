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
