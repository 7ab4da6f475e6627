#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <tuple>

#include "adjuster/field_reading.hpp"
#include "adjuster/parsing.hpp"

namespace ostrand {

namespace {

// The walk over the lines: the current time and where it came from, and the
// level entry that the next "rmp", "ofs" or "shape" line would belong to.
struct LoadState {
    double time = 0.0;
    int timeLine = kBeforeFirstTime;
    bool seenEntry = false;  // blank lines above the first entry are kept
    int order = 0;
    int attachSlot = -1;  // -1: the line above was not part of a level entry
    std::size_t attachIndex = 0;
    std::map<std::tuple<float, float, float>, int> groups;
};

Entry& AddEntry(FaderModel& model, LoadState& st, int slot, EntryKind kind, TextSpan line) {
    Entry entry;
    entry.kind = kind;
    entry.time = st.time;
    entry.timeLine = st.timeLine;
    entry.order = st.order++;
    entry.line = line;
    st.seenEntry = true;
    st.attachSlot = -1;
    model.rows[slot].push_back(entry);
    return model.rows[slot].back();
}

void ReadTimeLine(FaderModel& model, LoadState& st, const std::vector<std::string>& fields,
                  std::size_t k, TextSpan line) {
    TimeLine tl;
    tl.line = line;
    tl.fieldCount = static_cast<int>(fields.size() - k - 1);
    for (int i = 0; i < 3; ++i)
        tl.values[i] = static_cast<float>(ReadDecimal(FieldAt(fields, k + 1 + i)));
    int index = static_cast<int>(model.timeLines.size());
    auto key = std::make_tuple(tl.values[0], tl.values[1], tl.values[2]);
    tl.group = st.groups.emplace(key, index).first->second;
    model.timeLines.push_back(tl);
    st.time = ClockSeconds(tl.values, model.readFields);
    st.timeLine = index;
    st.seenEntry = true;
    st.attachSlot = -1;
}

// An "rmp", "ofs" or "shape" line: onto the level entry above, or unattached.
void ReadModifier(FaderModel& model, LoadState& st, Keyword keyword, std::string_view value,
                  TextSpan line, int lineNumber) {
    if (st.attachSlot < 0) {
        model.unattached.push_back(line);
        model.unattachedLineNumbers.push_back(lineNumber);
        return;
    }
    Entry& entry = model.rows[st.attachSlot][st.attachIndex];
    double number = ReadDecimal(value);
    if (keyword == Keyword::kRamp) {
        entry.ramp = number;  // the last one wins, as in the mixer
    } else if (keyword == Keyword::kOffset) {
        entry.offset += number;
    } else {
        // The mixer takes the last shape within its range and ignores others.
        float shape = static_cast<float>(number);
        if ((shape >= 0.125f && shape <= 8.0f) || entry.shape.length == 0) entry.shape = line;
    }
}

bool HasField(const std::vector<std::string>& fields, const char* name) {
    for (const std::string& field : fields)
        if (field == name) return true;
    return false;
}

std::string LineEndOf(const std::string& text) {
    std::size_t lineFeeds = 0, crlf = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') continue;
        ++lineFeeds;
        if (i > 0 && text[i - 1] == '\r') ++crlf;
    }
    return crlf * 2 > lineFeeds ? "\r\n" : "\n";
}

}  // namespace

double ClockSeconds(const float values[3], int timeFields) {
    if (timeFields == kSecondsOnly) return static_cast<double>(values[0]);
    double seconds = static_cast<double>(values[0]) * 60.0 + static_cast<double>(values[1]);
    if (timeFields == kMinutesSeconds) return seconds;
    return seconds + static_cast<double>(values[2]) / 1000.0;
}

void ParseBuffer(std::string text, int timeFields, FaderModel& model) {
    model = FaderModel{};
    model.text = std::move(text);
    model.readFields = timeFields;
    model.lineEnd = LineEndOf(model.text);
    const std::string& t = model.text;
    // The mixer reads the text up to its first NUL byte.
    const std::size_t parseEnd = std::min(t.size(), std::strlen(t.c_str()));
    const std::string_view body(t.data(), parseEnd);

    // Up to the end of the line holding the first "begin" the mixer reads
    // nothing; without a "begin" it reads everything.
    std::size_t preambleEnd = 0;
    std::size_t begin = body.find("begin");
    if (begin != std::string_view::npos) {
        std::size_t lineFeed = body.find('\n', begin);
        preambleEnd = lineFeed == std::string_view::npos ? parseEnd : lineFeed + 1;
    }

    LoadState st;
    model.afterEnd = TextSpan{parseEnd, t.size() - parseEnd};
    int lineNumber = 0;
    for (std::size_t pos = 0; pos < parseEnd;) {
        std::size_t lineFeed = body.find('\n', pos);
        std::size_t next = lineFeed == std::string_view::npos ? parseEnd : lineFeed + 1;
        const TextSpan raw{pos, next - pos};
        const std::string_view line = WithoutLineEnd(body.substr(pos, next - pos));
        const TextSpan lineSpan{pos, line.size()};
        ++lineNumber;
        pos = next;
        if (raw.start < preambleEnd) {
            model.leading.push_back(raw);
            continue;
        }
        std::vector<std::string> fields = LineFields(line);
        std::size_t k = 0;
        Keyword keyword = FindKeyword(fields, k);
        switch (keyword) {
            case Keyword::kNone:
                if (fields.empty()) {
                    // Blank lines between entries are the layout's; it writes its own.
                    if (!st.seenEntry) model.leading.push_back(raw);
                } else {
                    model.leading.push_back(raw);
                    if (HasField(fields, "tmap")) model.hasTempoMap = true;
                    st.attachSlot = -1;
                }
                break;
            case Keyword::kEnd:
                model.endLine = raw;
                model.afterEnd = TextSpan{next, t.size() - next};
                return;
            case Keyword::kTime:
                ReadTimeLine(model, st, fields, k, lineSpan);
                break;
            case Keyword::kInc:
                st.time += ReadDecimal(FieldAt(fields, k + 1));
                st.timeLine = kMovedByInc;
                st.seenEntry = true;
                st.attachSlot = -1;
                break;
            case Keyword::kLevel:
            case Keyword::kVca: {
                std::size_t used = 1;
                int slot = keyword == Keyword::kVca ? VcaSlot(FieldAt(fields, k + 1))
                                                    : DesignatorSlot(fields, k + 1, used);
                Entry& entry = AddEntry(
                    model, st, slot, keyword == Keyword::kVca ? EntryKind::kVca : EntryKind::kLevel,
                    lineSpan);
                entry.level = ReadDecimal(FieldAt(fields, k + 1 + used));
                st.attachSlot = slot;
                st.attachIndex = model.rows[slot].size() - 1;
                break;
            }
            case Keyword::kPan:
            case Keyword::kPolarity: {
                std::size_t used = 1;
                int slot = DesignatorSlot(fields, k + 1, used);
                AddEntry(model, st, slot,
                         keyword == Keyword::kPan ? EntryKind::kPan : EntryKind::kPolarity,
                         lineSpan);
                break;
            }
            case Keyword::kRamp:
            case Keyword::kOffset:
            case Keyword::kShape:
                ReadModifier(model, st, keyword, FieldAt(fields, k + 1), lineSpan, lineNumber);
                break;
        }
    }
}

FieldCheck CheckTimeFields(const FaderModel& model) {
    FieldCheck check;
    std::set<int> counts;
    for (const TimeLine& line : model.timeLines) counts.insert(line.fieldCount);
    if (counts.empty()) return check;
    check.mismatch = counts.size() > 1 || *counts.begin() != model.readFields;
    if (counts.size() == 1) check.fileFields = *counts.begin();
    std::size_t i = 0;
    for (int count : counts) {
        if (i > 0) check.counts += i + 1 == counts.size() ? " and " : ", ";
        check.counts += std::to_string(count);
        ++i;
    }
    return check;
}

}  // namespace ostrand
