#include "mixer/utilities/text/line_checks.hpp"

#include <string>

#include "mixer/utilities/text/keyword_catalogue.hpp"
#include "mixer/utilities/fader_script/order_lines.hpp"

namespace varnel {

namespace {

// The stray tab and space warnings of one line; `n` is its line number.
void SpacingWarnings(const ScanText& src, WarningFile which, std::string_view line, int n) {
    const std::string num = std::to_string(n);
    switch (which) {
    case WarningFile::Preferences:
    case WarningFile::Faders: {
        const std::string file = which == WarningFile::Preferences ? "preferences file" : "fader file";
        const std::string tab = "\n>>>  Warning: extra tab on line " + num + " of " + file + ".\n";
        if (line.find("\t\t") != std::string_view::npos) LineMessage(src, n, tab, src.show);
        if (!line.empty() && line.back() == '\t') LineMessage(src, n, tab, src.show);
        if (line.find("\t ") != std::string_view::npos)
            LineMessage(src, n, "\n>>>  Warning: extra space on line " + num + " of " + file + ".\n",
                        src.show);
        break;
    }
    case WarningFile::TracksTab:
        if (line.find("  ") != std::string_view::npos)
            LineMessage(src, n, "\n>>>  Warning: Extra space found on line " + num + " of tracks file.\n",
                        src.show);
        break;
    case WarningFile::TracksSpace:
        if (line.find('\t') != std::string_view::npos)
            LineMessage(src, n, "\n>>>  Warning: Tab found on line " + num + " of tracks file:\n",
                        src.show);
        break;
    }
}

std::string_view FirstField(std::string_view line) {
    Tokenizer t{line, 0};
    std::string_view f;
    return NextToken(t, kTabDelim, f) ? f : std::string_view();
}

// What a keyword line check finds on one line of the body.
enum class LineKind { Empty, Read, Unknown, End };

LineKind Classify(std::string_view line, WarningFile which) {
    Tokenizer t{line, 0};
    std::string_view f;
    bool any = false, keyword = false;
    while (NextToken(t, kTabDelim, f)) {
        any = true;
        if (f == "end") return LineKind::End;
        keyword = keyword || (which == WarningFile::Faders ? IsFaderKeyword(f) : IsPreferenceKeyword(f));
    }
    if (!any) return LineKind::Empty;
    if (keyword) return LineKind::Read;
    if (which == WarningFile::Faders && IsOrderLineText(line)) return LineKind::Read;
    return LineKind::Unknown;
}

}  // namespace

void PrintLineWarnings(const ScanText& src, WarningFile which, std::string_view original) {
    if (original.empty()) original = src.content;
    int count = 0;
    const auto lines = pointToLines(src.content, count);
    const auto written = pointToLines(original, count);
    const bool keywords = which == WarningFile::Preferences || which == WarningFile::Faders;
    bool inBody = keywords;
    bool nameLineSeen = which != WarningFile::Faders;  // the fader file's mix-name line
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const int n = src.firstLine + int(i);
        // The stray tab and space checks leave out an unterminated last line.
        if (int(i) < count) SpacingWarnings(src, which, written.size() > i ? written[i] : line, n);
        if (!inBody) continue;
        if (!nameLineSeen) {
            nameLineSeen = !line.empty();
            continue;
        }
        const LineKind kind = Classify(line, which);
        if (kind == LineKind::Empty) continue;
        if (kind == LineKind::End) {
            inBody = false;
        } else if (kind == LineKind::Unknown) {
            const std::string_view first = FirstField(written.size() > i ? written[i] : line);
            LineWarning(src, n,
                        QuoteField(first) + (first.find(' ') != std::string_view::npos
                                                 ? " is not a keyword; fields are separated by tabs."
                                                 : " is not a keyword; the line is ignored."));
        }
    }
}

}  // namespace varnel
