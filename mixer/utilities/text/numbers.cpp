#include "mixer/utilities/text/numbers.hpp"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace varnel {

double ReadDecimal(std::string_view field) {
    std::string s(field);
    const char* p = s.c_str();
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') ++p;
    const char* q = p;
    if (*q == '+' || *q == '-') ++q;
    // Only digits, a point or a hexadecimal prefix may start a number here;
    // this keeps "nan" and "inf" out.
    if (!(std::isdigit(static_cast<unsigned char>(*q)) || *q == '.')) return 0.0;
    char* end = nullptr;
    double v = std::strtod(p, &end);
    if (end == p || !std::isfinite(v)) return 0.0;
    return v;
}

int ReadInteger(std::string_view field) {
    std::string s(field);
    char* end = nullptr;
    long long v = std::strtoll(s.c_str(), &end, 10);
    if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return int(v);
}


int64_t TruncToInt64(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9223372036854775807.0) return INT64_MAX;
    if (v <= -9223372036854775808.0) return INT64_MIN;
    return int64_t(v);
}

float dBtoRatio(float dB, float factor) {
    return float(factor * std::pow(10.0, double(dB) / 20.0));
}

}  // namespace varnel
