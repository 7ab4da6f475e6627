#include "mixer/utilities/text/keyword_line.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mixer/utilities/text/numbers.hpp"

namespace varnel {

namespace {

bool OnlyBlanks(const char* p) {
    for (; *p; ++p)
        if (*p != ' ' && *p != '\t') return false;
    return true;
}

// Warns about a field whose number is missing or followed by other text;
// `used` is the number read.
void CheckNumber(KeywordLine& k, std::string_view field, bool hasNumber, bool clean, double used) {
    if (hasNumber && clean) return;
    char value[32];
    std::snprintf(value, sizeof value, "%.10g", used);
    std::string text = QuoteField(field);
    text += hasNumber ? std::string(" has text after its number; ") + value + " is used."
                      : std::string(" is not a number; 0 is used.");
    LineWarning(*k.src, k.line, text);
}

}  // namespace

bool NextScanFieldUnindexed(const ScanText& src, size_t& next, size_t& pos, std::string_view& tok) {
    if (src.fields) {
        // A scan that starts inside the text: find its first field once.
        const std::vector<FieldSpan>& f = *src.fields;
        next = size_t(std::lower_bound(f.begin(), f.end(), pos,
                                       [](const FieldSpan& s, size_t p) { return s.start < p; }) -
                      f.begin());
        if (next >= f.size()) {
            pos = src.content.size();
            return false;
        }
        const FieldSpan s = f[next++];
        tok = src.content.substr(s.start, s.end - s.start);
        pos = s.end < src.content.size() ? s.end + 1 : s.end;
        return true;
    }
    Tokenizer t{src.content, pos};
    const bool got = NextToken(t, kFieldDelims, tok);
    pos = t.pos;
    return got;
}

size_t LineEndAt(std::string_view text, size_t pos) {
    size_t nl = text.find('\n', pos);
    return nl == std::string_view::npos ? text.size() : nl;
}

bool NextField(KeywordLine& k, const char* delims, std::string_view& out) {
    ++k.wanted;
    if (!NextToken(k.t, delims, out)) {
        out = std::string_view();
        return false;
    }
    ++k.present;
    return true;
}

double DecimalOf(KeywordLine& k, std::string_view field) {
    const std::string s(field);
    const char* p = s.c_str();
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') ++p;
    const char* q = p + ((*p == '+' || *p == '-') ? 1 : 0);
    char* end = nullptr;
    double v = 0.0;
    bool hasNumber = false;
    // As ReadDecimal: only digits or a point start a number; "nan", "inf" and
    // values out of range read as 0.
    if (std::isdigit(static_cast<unsigned char>(*q)) || *q == '.') {
        v = std::strtod(p, &end);
        hasNumber = end != p && std::isfinite(v);
        if (!hasNumber) v = 0.0;
    }
    CheckNumber(k, field, hasNumber, hasNumber && OnlyBlanks(end), v);
    return v;
}

int IntegerOf(KeywordLine& k, std::string_view field) {
    const std::string s(field);
    char* end = nullptr;
    std::strtoll(s.c_str(), &end, 10);
    const bool hasNumber = end != s.c_str();
    const int v = ReadInteger(field);
    CheckNumber(k, field, hasNumber, hasNumber && OnlyBlanks(end), double(v));
    return v;
}

double DecimalField(KeywordLine& k, const char* delims, double missing) {
    std::string_view f;
    return NextField(k, delims, f) ? DecimalOf(k, f) : missing;
}

int IntegerField(KeywordLine& k, const char* delims, int missing) {
    std::string_view f;
    return NextField(k, delims, f) ? IntegerOf(k, f) : missing;
}

bool NoValue(KeywordLine& k, int needs) {
    Tokenizer peek = k.t;
    std::string_view f;
    if (NextToken(peek, kFieldDelims, f)) return false;
    k.wanted = needs;
    return true;
}

void CheckFieldCount(KeywordLine& k) {
    if (k.present >= k.wanted) return;
    const std::string needs = " and needs " + std::to_string(k.wanted) + "; ";
    std::string text = QuoteField(k.keyword);
    if (k.present == 0)
        text += " has no fields" + needs + "the line is ignored.";
    else
        text += " has " + std::to_string(k.present) + (k.present == 1 ? " field" : " fields") + needs +
                "the missing ones take their defaults.";
    LineWarning(*k.src, k.line, text);
    k.wanted = k.present;  // said once
}

bool HasKeyword(const ScanText& src, std::string_view keyword) {
    bool found = false;
    ScanKeyword(src, keyword, [&](KeywordLine&) {
        found = true;
        return false;
    });
    return found;
}

void CodetoInt(const ScanText& src, std::string_view keyword, int& out) {
    ScanKeywords(
        src, [&](std::string_view tok, size_t) { return tok == keyword; },
        [&](KeywordLine& k) {
            std::string_view value;
            if (!NextField(k, kFieldDelims, value)) return true;
            // base 10, leading digits only, after an optional sign
            size_t i = 0;
            bool neg = false;
            if (i < value.size() && (value[i] == '-' || value[i] == '+')) neg = value[i++] == '-';
            const size_t digits = i;
            long long v = 0;
            while (i < value.size() && value[i] >= '0' && value[i] <= '9' && v < 100000000000LL)
                v = v * 10 + (value[i++] - '0');
            while (i < value.size() && value[i] >= '0' && value[i] <= '9') ++i;
            if (neg) v = -v;
            out = int(std::clamp(v, -2147483648LL, 2147483647LL));
            const std::string rest(value.substr(i));
            CheckNumber(k, value, i > digits, OnlyBlanks(rest.c_str()), double(out));
            return true;
        },
        false);
}

}  // namespace varnel
