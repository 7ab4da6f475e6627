#include "mixer/utilities/text_scan.hpp"

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

void LoadTextStream(std::FILE* f, TextFile& out) {
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::rewind(f);
    std::string buf;
    if (size > 0) {
        buf.resize(size_t(size));
        size_t got = std::fread(buf.data(), 1, buf.size(), f);
        buf.resize(got);
    }
    // The text is used as a NUL-terminated string: a NUL byte ends it.
    size_t nul = buf.find('\0');
    if (nul != std::string::npos) buf.resize(nul);
    out.whole = std::move(buf);
    out.content = ContentAfterBegin(out.whole);
}

LoadResult LoadTextFile(const std::string& path, TextFile& out) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return LoadResult::NotFound;
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return LoadResult::NotFound;
    LoadTextStream(f, out);
    std::fclose(f);
    return LoadResult::Ok;
}

bool NextToken(Tokenizer& t, const char* delims, std::string_view& token) {
    const std::string_view& s = t.text;
    size_t p = t.pos;
    while (p < s.size() && std::strchr(delims, s[p]) && s[p] != '\0') ++p;
    if (p >= s.size()) {
        t.pos = s.size();
        return false;
    }
    size_t e = p;
    while (e < s.size() && !(std::strchr(delims, s[e]) && s[e] != '\0')) ++e;
    token = s.substr(p, e - p);
    t.pos = (e < s.size()) ? e + 1 : e;
    return true;
}

bool HasKeyword(std::string_view content, std::string_view keyword) {
    bool found = false;
    ScanKeyword(content, keyword, [&](Tokenizer&) {
        found = true;
        return false;
    });
    return found;
}

void CodetoInt(std::string_view text, std::string_view keyword, int& out) {
    Tokenizer t{text, 0};
    std::string_view tok;
    while (NextToken(t, kFieldDelims, tok)) {
        if (tok != keyword) continue;
        std::string_view value;
        if (!NextToken(t, kFieldDelims, value)) return;
        out = 0;
        size_t i = 0;
        // base 10, leading digits only
        bool neg = false;
        if (i < value.size() && (value[i] == '-' || value[i] == '+')) neg = value[i++] == '-';
        long long v = 0;
        while (i < value.size() && value[i] >= '0' && value[i] <= '9' && v < 100000000000LL)
            v = v * 10 + (value[i++] - '0');
        if (neg) v = -v;
        if (v > 2147483647LL) v = 2147483647LL;
        if (v < -2147483648LL) v = -2147483648LL;
        out = int(v);
    }
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

void PrintLineWarnings(std::string_view content, WarningFile which) {
    int count = 0;
    auto lines = pointToLines(content, count);
    const char* name = which == WarningFile::Preferences ? "preferences file" : "fader file";
    for (int i = 0; i < count; ++i) {
        std::string_view line = lines[size_t(i)];
        int n = i + 1;
        switch (which) {
        case WarningFile::Preferences:
        case WarningFile::Faders:
            if (line.find("\t\t") != std::string_view::npos)
                std::printf("\n>>>  Warning: extra tab on line %i of %s.\n", n, name);
            if (!line.empty() && line.back() == '\t')
                std::printf("\n>>>  Warning: extra tab on line %i of %s.\n", n, name);
            if (line.find("\t ") != std::string_view::npos)
                std::printf("\n>>>  Warning: extra space on line %i of %s.\n", n, name);
            break;
        case WarningFile::TracksTab:
            if (line.find("  ") != std::string_view::npos)
                std::printf("\n>>>  Warning: Extra space found on line %i of tracks file.\n", n);
            break;
        case WarningFile::TracksSpace:
            if (line.find('\t') != std::string_view::npos)
                std::printf("\n>>>  Warning: Tab found on line %i of tracks file:\n", n);
            break;
        }
    }
}

void RemoveSpaces(std::string& text) {
    if (text.find_first_not_of(' ') == std::string::npos) return;
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != ' ') out += c;
    text = std::move(out);
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

}  // namespace varnel
