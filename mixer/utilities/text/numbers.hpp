// Number reading and conversions that stay defined for any input: text
// fields never yield NaN or infinity, and float-to-integer casts are clamped.
#pragma once

#include <cmath>
#include <cstdint>
#include <string_view>

namespace varnel {

// Decimal floating-point number at the start of the field (leading white space
// allowed), 0 when there is none. "nan", "inf" and overflowing values read as 0.
double ReadDecimal(std::string_view field);

// Base-10 integer from the start of the field, 0 when there is none; values
// beyond the int range are clamped to it.
int ReadInteger(std::string_view field);

// Truncation toward zero, clamped to the target range; NaN gives 0.
// TruncToInt32 is inline and written with selects only: the sample loops
// call it for every sample and vectorise with it.
inline int32_t TruncToInt32(double v) {
    const double high = v >= 2147483647.0 ? 2147483647.0 : v;
    const double clamped = high <= -2147483648.0 ? -2147483648.0 : high;
    return int32_t(clamped == clamped ? clamped : 0.0);   // NaN reads as 0
}

// TruncToInt32 over a block, four values at a time with every select made on
// doubles before the one conversion: left to itself, the compiler converts
// first and selects on narrowed masks, which costs more than the rest of a
// sample loop. The same values as TruncToInt32, one by one.
inline void TruncToInt32Block(const double* x, int n, int32_t* out) {
    typedef double Four __attribute__((vector_size(32)));
    typedef int32_t FourInts __attribute__((vector_size(16)));
    const Four top = {2147483647.0, 2147483647.0, 2147483647.0, 2147483647.0};
    const Four bottom = {-2147483648.0, -2147483648.0, -2147483648.0, -2147483648.0};
    const Four zero = {0.0, 0.0, 0.0, 0.0};
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        Four v;
        __builtin_memcpy(&v, x + i, sizeof v);
        const Four number = v == v ? v : zero;   // NaN reads as 0
        const Four high = number < top ? number : top;
        const FourInts t = __builtin_convertvector(high > bottom ? high : bottom, FourInts);
        __builtin_memcpy(out + i, &t, sizeof t);
    }
    for (; i < n; ++i) out[i] = TruncToInt32(x[i]);
}

int64_t TruncToInt64(double v);

// Integer sums that saturate at the 32-bit limits instead of wrapping.
// Written in 32-bit operations only (the sum overflows exactly when both
// terms share a sign and the wrapped sum does not), so summing loops
// vectorise.
inline int32_t SatAdd32(int32_t a, int32_t b) {
    const uint32_t ua = uint32_t(a), ub = uint32_t(b);
    const uint32_t sum = ua + ub;
    const uint32_t limit = uint32_t(INT32_MAX) + (ua >> 31);  // the limit on a's side
    const bool overflow = ((~(ua ^ ub) & (ua ^ sum)) >> 31) != 0;
    return int32_t(overflow ? limit : sum);
}

// The system's decibel helper: factor x 10^(dB/20) in single precision.
float dBtoRatio(float dB, float factor);

}  // namespace varnel
