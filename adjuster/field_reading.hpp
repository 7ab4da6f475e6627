// Splitting the file text into fields and reading numbers from them.
#pragma once

namespace ostrand {

constexpr const char* kFieldDelims = "\t\n";
constexpr const char* kTabDelim = "\t";
constexpr const char* kLineDelim = "\n";

// Cuts the text in place, like the classic destructive tokenizer: each call
// skips leading delimiters, ends the field at the next delimiter (which is
// overwritten with NUL) and resumes after it. The state is the caller's.
struct Tokenizer {
    char* next = nullptr;  // unread text; nullptr once exhausted
};

// Returns the next field, or nullptr at the end of the text.
char* NextToken(Tokenizer& tokenizer, const char* delims);

// Leading decimal number of a field (digits, point, exponent only), 0 when
// there is none or the field is missing; kept within the float range.
double ReadDecimal(const char* field);

// Leading decimal integer of a field, 0 when there is none; saturates at the
// long range so out-of-range numbers stay out of range.
long ReadDecimalInteger(const char* field);

}  // namespace ostrand
