// Loading of the mixer's text files and the field scanning every setting is
// read with. A text's content starts at the newline after its first "begin";
// keyword scans take fields separated by tabs and newlines and stop at the
// field "end".
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "mixer/utilities/text/diagnostics.hpp"

namespace varnel {

// One field of a text: a run of characters other than tab and newline.
struct FieldSpan {
    uint32_t start;
    uint32_t end;  // one past its last character
};

struct TextFile {
    std::string name;     // as named on the command line
    std::string whole;    // the file as read, cut at its first NUL byte, CR-LF made LF
    std::string content;  // from the newline after the first "begin" (or the whole file)
    int firstLine = 1;    // the file's line number of the content's first line
    std::vector<uint32_t> newlines;  // offsets of the content's newline characters
    std::vector<FieldSpan> fields;   // the content's fields, in order
    size_t indexedSize = size_t(-1);  // content size the index was built for
    bool crlf = false;    // carriage returns were removed from line ends
};

enum class LoadResult { Ok, NotFound };

// Opens `path` for reading and loads it. Anything that is not a regular file
// (a directory, a device) counts as not found.
LoadResult LoadTextFile(const std::string& path, TextFile& out);
// Loads from an already open stream (the creation paths write a default text
// first): size from the end position, rewind, read.
void LoadTextStream(std::FILE* f, const std::string& name, TextFile& out);
// Fills `out` from a whole text as a file of that name would be loaded: cut at
// the first NUL, a carriage return before each newline (and at the very end)
// removed, content start, line index.
void SetText(TextFile& out, const std::string& name, std::string whole);
// The content-start rule on a whole text.
std::string ContentAfterBegin(const std::string& whole);
// Rebuilds the line and field index after the content changed (space
// removal): every keyword scan walks the fields from it instead of cutting
// the text again, so reading stays linear in the size of the file.
void IndexLines(TextFile& f);

// A text as the keyword passes read it: its content, and what is needed to
// name the file and line of a warning about it. Built from a loaded file with
// ScanOf; a bare string (as the tests pass) has no name and no record, so its
// messages print as before, without a location.
struct ScanText {
    std::string_view content;
    std::string_view name;                           // empty: no location is printed
    const std::vector<uint32_t>* newlines = nullptr;  // line index of `content`
    const std::vector<FieldSpan>* fields = nullptr;   // field index of `content`
    int firstLine = 1;
    Diagnostics* diag = nullptr;  // where warnings are recorded; nullptr: printed only
    bool show = true;             // the verbosity lets this file's line warnings print

    ScanText() = default;
    ScanText(std::string_view c) : content(c) {}
    ScanText(const std::string& c) : content(c) {}
    ScanText(const char* c) : content(c) {}
    ScanText(std::string&&) = delete;  // it would view a temporary
};

// `d` may be nullptr (nothing recorded, messages printed). A content set
// without IndexLines is read without the index.
ScanText ScanOf(const TextFile& f, Diagnostics* d, bool show);

// The file's line number of an offset into the content.
int LineAt(const ScanText& s, size_t pos);
// "name:line: ", "name: " (line 0), or "" without a name.
std::string Location(const ScanText& s, int line);

// A warning in the form "Warning: name:line: text" and a newline, shown as
// the file's line warnings are (s.show), or when `show`.
void LineWarning(const ScanText& s, int line, std::string_view text);
void LineWarning(const ScanText& s, int line, std::string_view text, bool show);
// A message of its own wording about a line: the location goes in front of
// it (after its leading newlines). Shown when `show`.
void LineMessage(const ScanText& s, int line, std::string_view message, bool show = true);
// A warning about the file as a whole (`message` with its newlines), shown as
// the file's line warnings are.
void FileWarning(const ScanText& s, std::string_view message);
// "name has CR-LF line ends; ..." when loading removed carriage returns.
void CrLfWarning(const ScanText& s, const TextFile& f);
// An error that ends the run, located like LineMessage: printed at once and
// not recorded as a warning.
void LineError(const ScanText& s, int line, std::string_view message);

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

// Cuts a text into lines at newlines; `count` is the number of newline
// characters (a last line without a newline is an entry but is not counted).
std::vector<std::string_view> pointToLines(std::string_view text, int& count);

// Deletes every space; a text of spaces only is left as it is.
void RemoveSpaces(std::string& text);
// Collapses runs of the separator's first character into one; returns the
// number of characters removed.
int RemoveExtraString(std::string& text, std::string_view separator);

// A field as it is quoted in messages: at most 40 characters, control
// characters written as \t or \xNN.
std::string QuoteField(std::string_view field);

}  // namespace varnel
