#include "mixer/utilities/text/text_scan.hpp"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace varnel {

std::string ContentAfterBegin(const std::string& whole) {
    size_t b = whole.find("begin");
    if (b == std::string::npos) return whole;
    size_t nl = whole.find('\n', b);
    // "begin" with no newline after it leaves nothing to read.
    if (nl == std::string::npos) return std::string();
    return whole.substr(nl);
}

void IndexLines(TextFile& f) {
    f.newlines.clear();
    f.fields.clear();
    f.indexedSize = size_t(-1);
    const std::string& c = f.content;
    // Offsets are 32-bit; a larger text (never a real one) is read unindexed.
    if (c.size() >= size_t(UINT32_MAX)) return;
    const uint32_t n = uint32_t(c.size());
    uint32_t start = 0;
    for (uint32_t i = 0; i <= n; ++i) {
        const char ch = i < n ? c[i] : '\n';
        if (ch != '\t' && ch != '\n') continue;
        if (i > start) f.fields.push_back(FieldSpan{start, i});
        if (ch == '\n' && i < n) f.newlines.push_back(i);
        start = i + 1;
    }
    f.indexedSize = c.size();
}

void SetText(TextFile& out, const std::string& name, std::string whole) {
    // The text is used as a NUL-terminated string: a NUL byte ends it.
    size_t nul = whole.find('\0');
    if (nul != std::string::npos) whole.resize(nul);
    // Carriage returns of CR-LF line ends would become part of each line's
    // last field; they go here, once, so every reader sees plain lines.
    out.crlf = false;
    if (whole.find('\r') != std::string::npos) {
        std::string plain;
        plain.reserve(whole.size());
        for (size_t i = 0; i < whole.size(); ++i) {
            const bool lineEnd = i + 1 == whole.size() || whole[i + 1] == '\n';
            if (whole[i] == '\r' && lineEnd) {
                out.crlf = true;
                continue;
            }
            plain += whole[i];
        }
        whole = std::move(plain);
    }
    out.name = name;
    out.whole = std::move(whole);
    out.content = ContentAfterBegin(out.whole);
    const size_t start = out.whole.size() - out.content.size();
    out.firstLine = 1 + int(std::count(out.whole.begin(), out.whole.begin() + long(start), '\n'));
    IndexLines(out);
}

void LoadTextStream(std::FILE* f, const std::string& name, TextFile& out) {
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::rewind(f);
    std::string buf;
    if (size > 0) {
        buf.resize(size_t(size));
        size_t got = std::fread(buf.data(), 1, buf.size(), f);
        buf.resize(got);
    }
    SetText(out, name, std::move(buf));
}

LoadResult LoadTextFile(const std::string& path, TextFile& out) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return LoadResult::NotFound;
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return LoadResult::NotFound;
    LoadTextStream(f, path, out);
    std::fclose(f);
    return LoadResult::Ok;
}

ScanText ScanOf(const TextFile& f, Diagnostics* d, bool show) {
    ScanText s(f.content);
    s.name = f.name;
    if (f.indexedSize == f.content.size()) {
        s.newlines = &f.newlines;
        s.fields = &f.fields;
    }
    s.firstLine = f.firstLine;
    s.diag = d;
    s.show = show;
    return s;
}

int LineAt(const ScanText& s, size_t pos) {
    pos = std::min(pos, s.content.size());
    size_t before;
    if (s.newlines) {
        before = size_t(std::lower_bound(s.newlines->begin(), s.newlines->end(), uint32_t(pos)) -
                        s.newlines->begin());
    } else {
        before = size_t(std::count(s.content.begin(), s.content.begin() + long(pos), '\n'));
    }
    return s.firstLine + int(before);
}

std::string Location(const ScanText& s, int line) {
    if (s.name.empty()) return std::string();
    std::string loc(s.name);
    if (line > 0) {
        loc += ':';
        loc += std::to_string(line);
    }
    loc += ": ";
    return loc;
}

namespace {

void Emit(const ScanText& s, int line, const std::string& printed, bool show) {
    if (s.diag) {
        AddWarning(*s.diag, s.name, line, printed, show);
    } else if (show) {
        std::fwrite(printed.data(), 1, printed.size(), stdout);
    }
}

}  // namespace

void LineWarning(const ScanText& s, int line, std::string_view text) {
    LineWarning(s, line, text, s.show);
}

void LineWarning(const ScanText& s, int line, std::string_view text, bool show) {
    Emit(s, line, "Warning: " + Location(s, line) + std::string(text) + "\n", show);
}

namespace {

std::string Located(const ScanText& s, int line, std::string_view message) {
    size_t lead = message.find_first_not_of('\n');
    if (lead == std::string_view::npos) lead = message.size();
    std::string printed(message.substr(0, lead));
    printed += Location(s, line);
    printed += message.substr(lead);
    return printed;
}

}  // namespace

void LineMessage(const ScanText& s, int line, std::string_view message, bool show) {
    Emit(s, line, Located(s, line, message), show);
}

void FileWarning(const ScanText& s, std::string_view message) { Emit(s, 0, std::string(message), s.show); }

void CrLfWarning(const ScanText& s, const TextFile& f) {
    if (f.crlf) FileWarning(s, f.name + " has CR-LF line ends; they are read as plain line ends.\n");
}

void LineError(const ScanText& s, int line, std::string_view message) {
    const std::string printed = Located(s, line, message);
    std::fwrite(printed.data(), 1, printed.size(), stdout);
}

namespace {

inline bool IsDelim(char c, const char* delims) {
    for (; *delims; ++delims)
        if (c == *delims) return true;
    return false;
}

}  // namespace

bool NextToken(Tokenizer& t, const char* delims, std::string_view& token) {
    const std::string_view& s = t.text;
    size_t p = t.pos;
    while (p < s.size() && IsDelim(s[p], delims)) ++p;
    if (p >= s.size()) {
        t.pos = s.size();
        return false;
    }
    size_t e = p;
    while (e < s.size() && !IsDelim(s[e], delims)) ++e;
    token = s.substr(p, e - p);
    t.pos = (e < s.size()) ? e + 1 : e;
    return true;
}

std::vector<std::string_view> pointToLines(std::string_view text, int& count) {
    std::vector<std::string_view> lines;
    count = 0;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            lines.push_back(text.substr(start, i - start));
            start = i + 1;
            ++count;
        }
    }
    lines.push_back(text.substr(start));
    return lines;
}

void RemoveSpaces(std::string& text) {
    if (text.find_first_not_of(' ') == std::string::npos) return;
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
}

int RemoveExtraString(std::string& text, std::string_view separator) {
    if (separator.empty()) return 0;
    char sep = separator[0];
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == sep)
            while (i + 1 < text.size() && text[i + 1] == sep) ++i;
    }
    int removed = int(text.size() - out.size());
    text = std::move(out);
    return removed;
}

std::string QuoteField(std::string_view field) {
    constexpr size_t kMax = 40;
    std::string out = "\"";
    size_t shown = 0;
    for (char ch : field) {
        if (shown == kMax) {
            out += "...";
            break;
        }
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += ch;
        }
        ++shown;
    }
    return out + "\"";
}

}  // namespace varnel
