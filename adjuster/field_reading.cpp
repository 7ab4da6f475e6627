#include "adjuster/field_reading.hpp"

#include <cctype>
#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <string>

namespace ostrand {

char* NextToken(Tokenizer& tokenizer, const char* delims) {
    char* p = tokenizer.next;
    if (p == nullptr) return nullptr;
    p += std::strspn(p, delims);
    if (*p == '\0') {
        tokenizer.next = nullptr;
        return nullptr;
    }
    char* end = p + std::strcspn(p, delims);
    if (*end == '\0') {
        tokenizer.next = nullptr;
    } else {
        *end = '\0';
        tokenizer.next = end + 1;
    }
    return p;
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the plain decimal number at the start of `s`, 0 when none.
std::size_t DecimalPrefix(const char* s) {
    std::size_t i = 0;
    if (s[i] == '+' || s[i] == '-') ++i;
    std::size_t digits = 0;
    while (IsDigit(s[i])) ++i, ++digits;
    if (s[i] == '.') {
        ++i;
        while (IsDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (s[i] == 'e' || s[i] == 'E') {
        std::size_t j = i + 1;
        if (s[j] == '+' || s[j] == '-') ++j;
        if (IsDigit(s[j])) {
            while (IsDigit(s[j])) ++j;
            i = j;
        }
    }
    return i;
}

}  // namespace

double ReadDecimal(const char* field) {
    if (field == nullptr) return 0.0;
    while (std::isspace(static_cast<unsigned char>(*field))) ++field;
    std::size_t length = DecimalPrefix(field);
    if (length == 0) return 0.0;
    std::string number(field, length);
    double value = std::strtod(number.c_str(), nullptr);
    if (value > FLT_MAX) return FLT_MAX;
    if (value < -FLT_MAX) return -FLT_MAX;
    return value;
}

long ReadDecimalInteger(const char* field) {
    if (field == nullptr) return 0;
    return std::strtol(field, nullptr, 10);
}

}  // namespace ostrand
