// Loading of the mixer's text files and the field scanning every setting is
// read with. A text's content starts at the newline after its first "begin";
// keyword scans take fields separated by tabs and newlines and stop at the
// field "end".
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

struct TextFile {
    std::string whole;    // the file as read, cut at its first NUL byte
    std::string content;  // from the newline after the first "begin" (or the whole file)
};

enum class LoadResult { Ok, NotFound };

// Opens `path` for reading and loads it. Anything that is not a regular file
// (a directory, a device) counts as not found.
LoadResult LoadTextFile(const std::string& path, TextFile& out);
// Loads from an already open stream (the creation paths write a default text
// first): size from the end position, rewind, read.
void LoadTextStream(std::FILE* f, TextFile& out);
// The content-start rule on a whole text.
std::string ContentAfterBegin(const std::string& whole);

// strtok-style cursor over a text: each call skips leading delimiters and
// returns the run of characters up to the next delimiter, consuming that one.
struct Tokenizer {
    std::string_view text;
    size_t pos = 0;
};
bool NextToken(Tokenizer& t, const char* delims, std::string_view& token);

constexpr const char* kFieldDelims = "\t\n";  // next token
constexpr const char* kTabDelim = "\t";       // field up to the next tab
constexpr const char* kLineDelim = "\n";      // rest of the line

// Walks the fields of `content` (tab and newline separated) until the field
// "end" or the end of the text, calling onHit(tokenizer) for every field equal
// to `keyword`; onHit reads the value from the tokenizer and returns false to
// stop the scan (for first-hit keywords).
template <class OnHit>
void ScanKeyword(std::string_view content, std::string_view keyword, OnHit onHit) {
    Tokenizer t{content, 0};
    std::string_view tok;
    while (NextToken(t, kFieldDelims, tok)) {
        if (tok == "end") return;
        if (tok == keyword && !onHit(t)) return;
    }
}

// True when the keyword occurs as a field before "end".
bool HasKeyword(std::string_view content, std::string_view keyword);

// Integer keyword reader: every field equal to `keyword` in the whole text
// (it does not stop at "end") sets `out` to the decimal value of the next field.
void CodetoInt(std::string_view text, std::string_view keyword, int& out);

// Cuts a text into lines at newlines; `count` is the number of newline
// characters (a last line without a newline is an entry but is not counted).
std::vector<std::string_view> pointToLines(std::string_view text, int& count);

enum class WarningFile { Preferences, Faders, TracksTab, TracksSpace };
// Prints the line warnings for one file's content.
void PrintLineWarnings(std::string_view content, WarningFile which);

// Deletes every space; a text of spaces only is left as it is.
void RemoveSpaces(std::string& text);
// Collapses runs of the separator's first character into one; returns the
// number of characters removed.
int RemoveExtraString(std::string& text, std::string_view separator);

}  // namespace varnel
