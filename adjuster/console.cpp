#include "adjuster/console.hpp"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace ostrand {

namespace {

// Long enough for any number anyone types; the rest of a longer word is
// consumed but not looked at.
constexpr std::size_t kNumberWordLength = 255;

}  // namespace

Answer ReadWord(Console& console, std::string& word, std::size_t maxLength) {
    // Prompts must be visible before the program waits for the answer.
    std::fflush(console.out);
    word.clear();
    int c;
    do {
        c = std::getc(console.in);
    } while (c != EOF && std::isspace(c));
    if (c == EOF) return Answer::kEnd;
    bool tooLong = false;
    while (c != EOF && !std::isspace(c)) {
        if (word.size() < maxLength)
            word += static_cast<char>(c);
        else
            tooLong = true;
        c = std::getc(console.in);
    }
    return tooLong ? Answer::kTooLong : Answer::kValue;
}

Answer ReadNumber(Console& console, double& value) {
    std::string word;
    if (ReadWord(console, word, kNumberWordLength) == Answer::kEnd) return Answer::kEnd;
    char* end = nullptr;
    double number = std::strtod(word.c_str(), &end);
    if (end == word.c_str() || !std::isfinite(number)) return Answer::kUnreadable;
    value = number;
    return Answer::kValue;
}

Answer ReadInteger(Console& console, int& value) {
    std::string word;
    if (ReadWord(console, word, kNumberWordLength) == Answer::kEnd) return Answer::kEnd;
    char* end = nullptr;
    long number = std::strtol(word.c_str(), &end, 0);
    if (end == word.c_str()) return Answer::kUnreadable;
    if (number > INT_MAX) number = INT_MAX;
    if (number < INT_MIN) number = INT_MIN;
    value = static_cast<int>(number);
    return Answer::kValue;
}

}  // namespace ostrand
