// The dialogue's two streams and the ways answers are read from them.
#pragma once

#include <cstdio>
#include <string>

namespace ostrand {

struct Console {
    std::FILE* in;
    std::FILE* out;
};

enum class Answer { kValue, kUnreadable, kTooLong, kEnd };

// Reads one whitespace-delimited word, like "%s". A word longer than
// `maxLength` is consumed whole, cut to `maxLength` characters and reported
// as kTooLong. kEnd when the input has ended before any word.
Answer ReadWord(Console& console, std::string& word, std::size_t maxLength);

// Reads one word and takes the number at its start as "%lf" would (decimal,
// hexadecimal, inf and nan spellings), in double precision so that a typed
// 0.1 stays 0.1. Words without a number and non-finite numbers are
// kUnreadable; the rest of the word is discarded.
Answer ReadNumber(Console& console, double& value);

// As ReadNumber, for an integer written as "%i" reads it: decimal, hexadecimal
// with 0x, octal with a leading 0. Values beyond the int range saturate.
Answer ReadInteger(Console& console, int& value);

}  // namespace ostrand
