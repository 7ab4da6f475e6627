// Reading the values of a keyword line. Every keyword scan walks the fields
// of a text (tab and newline separated) up to the field "end"; at a keyword
// it hands the reader a KeywordLine, whose fields end at the end of the
// keyword's line: a line with fewer fields than its keyword reads does not
// take them from the next line. Missing fields and numbers followed by other
// text are warned about with the file and line.
#pragma once

#include <algorithm>
#include <string_view>

#include "mixer/utilities/text/text_scan.hpp"

namespace varnel {

struct KeywordLine {
    const ScanText* src = nullptr;
    std::string_view keyword;
    int line = 0;      // the file's line number
    Tokenizer t;       // over the text up to the end of the keyword's line
    int wanted = 0;    // fields asked for so far
    int present = 0;   // of those, fields the line had
};

// The next field of the line (delimiters as for NextToken). Counts it as
// wanted; false when the line has no more fields (out is then empty).
bool NextField(KeywordLine& k, const char* delims, std::string_view& out);

// Number readers over the next field: a missing field gives `missing`, a
// field with no number 0, a number followed by other text its number; the
// last two with a warning that names the value used.
double DecimalField(KeywordLine& k, const char* delims, double missing = 0.0);
int IntegerField(KeywordLine& k, const char* delims, int missing = 0);
// The same checks on a field already read (a designator, a list item).
double DecimalOf(KeywordLine& k, std::string_view field);
int IntegerOf(KeywordLine& k, std::string_view field);

// True when the keyword's line holds no field after the keyword: such a line
// sets nothing (a keyword without a value is ignored), and the field-count
// warning says it needs `needs` fields. Readers of values start with it.
bool NoValue(KeywordLine& k, int needs);

// Warns when the line had fewer fields than were asked for; the scans call it
// after each reader.
void CheckFieldCount(KeywordLine& k);

// The end of the line that holds `pos` (the offset of its newline, or the
// text's size).
size_t LineEndAt(std::string_view text, size_t pos);

// Walks the fields of `src` until the field "end" (or the end of the text
// when !stopAtEnd), calling onHit(KeywordLine&) for every field that
// `match(field, offset)` accepts; onHit reads the values and returns false to
// stop the scan (for first-hit keywords). The scan goes on after the fields
// the reader took. `from` is the offset the scan starts at.
// The next field at or after `pos`, for a text without a field index.
bool NextScanFieldUnindexed(const ScanText& src, size_t& next, size_t& pos, std::string_view& tok);

// The next field at or after `pos`: from the field index when the text has
// one (`next` walks it), else by cutting the text. The scans spend their time
// here.
inline bool NextScanField(const ScanText& src, size_t& next, size_t& pos, std::string_view& tok) {
    if (!src.fields || (next == 0 && pos > 0)) return NextScanFieldUnindexed(src, next, pos, tok);
    const FieldSpan* f = src.fields->data();
    const size_t n = src.fields->size();
    while (next < n && f[next].start < pos) ++next;
    if (next >= n) {
        pos = src.content.size();
        return false;
    }
    const FieldSpan s = f[next++];
    tok = std::string_view(src.content.data() + s.start, s.end - s.start);
    // As the tokenizer: the delimiter after the field is consumed.
    pos = s.end < src.content.size() ? s.end + 1 : s.end;
    return true;
}

template <class Match, class OnHit>
void ScanKeywords(const ScanText& src, Match match, OnHit onHit, bool stopAtEnd = true,
                  size_t from = 0) {
    size_t pos = from, next = 0;
    std::string_view tok;
    while (NextScanField(src, next, pos, tok)) {
        if (stopAtEnd && tok == "end") return;
        const size_t at = size_t(tok.data() - src.content.data());
        if (!match(tok, at)) continue;
        KeywordLine k;
        k.src = &src;
        k.keyword = tok;
        k.line = LineAt(src, at);
        k.t = Tokenizer{src.content.substr(0, LineEndAt(src.content, at)), pos};
        const bool goOn = onHit(k);
        CheckFieldCount(k);
        pos = std::max(pos, k.t.pos);
        if (!goOn) return;
    }
}

template <class OnHit>
void ScanKeyword(const ScanText& src, std::string_view keyword, OnHit onHit) {
    ScanKeywords(src, [&](std::string_view tok, size_t) { return tok == keyword; }, onHit);
}

// True when the keyword occurs as a field before "end".
bool HasKeyword(const ScanText& src, std::string_view keyword);

// Integer keyword reader: every field equal to `keyword` in the whole text
// (it does not stop at "end") sets `out` to the decimal value of the next
// field on its line.
void CodetoInt(const ScanText& src, std::string_view keyword, int& out);

}  // namespace varnel
