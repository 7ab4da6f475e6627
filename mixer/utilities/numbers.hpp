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
