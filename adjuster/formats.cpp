#include "adjuster/formats.hpp"

#include <algorithm>
#include <tuple>
#include <vector>

#include "adjuster/field_reading.hpp"
#include "adjuster/number_text.hpp"
#include "adjuster/parsing.hpp"

namespace ostrand {

namespace {

// The fields after the keyword of an entry's own line.
std::vector<std::string> Arguments(const FaderModel& model, TextSpan line) {
    std::vector<std::string> fields = LineFields(SpanText(model, line));
    std::size_t k = 0;
    FindKeyword(fields, k);
    fields.erase(fields.begin(),
                 fields.begin() + static_cast<long>(std::min(k + 1, fields.size())));
    return fields;
}

std::string Joined(const std::vector<std::string>& fields, std::size_t first, std::size_t count) {
    std::string text;
    for (std::size_t i = first; i < first + count; ++i) {
        if (i > first) text += '\t';
        // A missing designator field is written as the 0 it was read as.
        text += i < fields.size() ? fields[i] : "0";
    }
    return text;
}

bool SameValues(const std::string& fields, const TimeLine& line, int timeFields) {
    std::vector<std::string> split = LineFields(fields);
    for (int i = 0; i < timeFields; ++i)
        if (static_cast<float>(ReadDecimal(FieldAt(split, static_cast<std::size_t>(i)))) !=
            line.values[i])
            return false;
    return true;
}

// Generated text uses '\n'; the file's own line end replaces it here.
void AppendGenerated(std::string& text, const std::string& piece, const std::string& lineEnd) {
    if (lineEnd == "\n") {
        text += piece;
        return;
    }
    for (char c : piece) {
        if (c == '\n')
            text += lineEnd;
        else
            text += c;
    }
}

void EnsureLineEnd(std::string& text, const std::string& lineEnd) {
    if (!text.empty() && text.back() != '\n') text += lineEnd;
}

// True when nothing is written yet or the text ends with a blank line, so
// the first time line needs no blank line of its own above it.
bool StartsFresh(const std::string& text) {
    if (text.empty()) return true;
    if (text.back() != '\n') return false;
    const std::size_t end = text.size() - 1;  // the last line ends here
    std::size_t start = 0;
    if (end > 0) {
        std::size_t before = text.rfind('\n', end - 1);
        start = before == std::string::npos ? 0 : before + 1;
    }
    for (std::size_t i = start; i < end; ++i)
        if (text[i] != ' ' && text[i] != '\t' && text[i] != '\r') return false;
    return true;
}

bool IsInitial(const Entry& entry) {
    return entry.timeLine == kBeforeFirstTime && (entry.edited & kTimeEdited) == 0;
}

void AppendKept(std::string& text, const FaderModel& model) {
    for (TextSpan span : model.leading) {
        EnsureLineEnd(text, model.lineEnd);
        text += SpanText(model, span);
    }
    EnsureLineEnd(text, model.lineEnd);
}

// Entries that stood above every "t" line, in slot order: the mixer reads
// them at time 0 as long as no time line comes before them.
void AppendInitial(std::string& text, const FaderModel& model) {
    std::string piece;
    for (int slot = 0; slot < kSlotCount; ++slot)
        for (const Entry& entry : model.rows[slot])
            if (IsInitial(entry)) AppendEntryLines(piece, model, entry);
    AppendGenerated(text, piece, model.lineEnd);
}

void AppendEnd(std::string& text, const FaderModel& model) {
    EnsureLineEnd(text, model.lineEnd);
    if (model.endLine.length > 0)
        text += SpanText(model, model.endLine);
    else
        text += "end" + model.lineEnd;
    for (TextSpan span : model.unattached) {
        EnsureLineEnd(text, model.lineEnd);
        text += SpanText(model, span);
        text += model.lineEnd;
    }
    text += SpanText(model, model.afterEnd);
}

std::string TimeLineText(const FaderModel& model, const Entry& entry, int timeFields,
                         bool blankAbove) {
    return std::string(blankAbove ? "\n" : "") + "t\t" + EntryTimeFields(model, entry, timeFields) +
           "\n";
}

}  // namespace

void AppendTimeLine(std::string& text, double time, int timeFields) {
    text += "\nt\t" + TimeFieldsText(time, timeFields) + "\n";
}

std::string EntryTimeFields(const FaderModel& model, const Entry& entry, int timeFields) {
    bool edited = (entry.edited & kTimeEdited) != 0;
    if (!edited && timeFields == model.readFields && entry.timeLine >= 0) {
        const TimeLine& line = model.timeLines[static_cast<std::size_t>(entry.timeLine)];
        std::string layout = TimeFieldsText(entry.time, timeFields);
        if (SameValues(layout, line, timeFields)) return layout;
        std::vector<std::string> fields = Arguments(model, line.line);
        return Joined(fields, 0, fields.size());
    }
    return TimeFieldsFor(entry.time, timeFields, edited);
}

void AppendEntryLines(std::string& text, const FaderModel& model, const Entry& entry) {
    if (entry.kind == EntryKind::kPan || entry.kind == EntryKind::kPolarity) {
        text += SpanText(model, entry.line);
        text += '\n';
        return;
    }
    std::vector<std::string> fields = Arguments(model, entry.line);
    std::size_t used = 1;
    if (entry.kind == EntryKind::kLevel) {
        DesignatorSlot(fields, 0, used);
        text += "v\t";
    } else {
        text += "vca\t";
    }
    text += Joined(fields, 0, used) + "\t" +
            NumberText(entry.level, 2, (entry.edited & kLevelEdited) != 0) + "\n";
    if (entry.offset != 0.0)
        text += "ofs\t" + NumberText(entry.offset, 3, (entry.edited & kOffsetEdited) != 0) + "\n";
    if (entry.shape.length > 0) {
        text += SpanText(model, entry.shape);
        text += '\n';
    }
    if (entry.ramp != 0.0)
        text += "rmp\t" + NumberText(entry.ramp, 3, (entry.edited & kRampEdited) != 0) + "\n";
}

void Format1(const FaderModel& model, std::string& text, int timeFields) {
    text.clear();
    AppendKept(text, model);
    AppendInitial(text, model);
    bool first = true;
    std::string piece;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        for (const Entry& entry : model.rows[slot]) {
            if (IsInitial(entry)) continue;
            piece.clear();
            piece += TimeLineText(model, entry, timeFields, !(first && StartsFresh(text)));
            first = false;
            AppendEntryLines(piece, model, entry);
            piece += '\n';
            AppendGenerated(text, piece, model.lineEnd);
        }
    }
    AppendEnd(text, model);
}

void Format2(const FaderModel& model, std::string& text, int timeFields) {
    text.clear();
    AppendKept(text, model);
    AppendInitial(text, model);

    // Entries at one time share a time line, unless their time lines differ
    // in what they say (the same clock time written as bars and beats in one
    // and in another way elsewhere); then each keeps its own.
    struct Ref {
        double time;
        int group;
        int slot;
        int order;
        const Entry* entry;
    };
    std::vector<Ref> refs;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        for (const Entry& entry : model.rows[slot]) {
            if (IsInitial(entry)) continue;
            bool ownLine = (entry.edited & kTimeEdited) == 0 && timeFields == model.readFields &&
                           entry.timeLine >= 0;
            int group =
                ownLine ? model.timeLines[static_cast<std::size_t>(entry.timeLine)].group : -1;
            refs.push_back(Ref{entry.time, group, slot, entry.order, &entry});
        }
    }
    std::sort(refs.begin(), refs.end(), [](const Ref& a, const Ref& b) {
        return std::tie(a.time, a.group, a.slot, a.order) <
               std::tie(b.time, b.group, b.slot, b.order);
    });

    std::string piece;
    for (std::size_t i = 0; i < refs.size();) {
        piece.clear();
        piece += TimeLineText(model, *refs[i].entry, timeFields, !(i == 0 && StartsFresh(text)));
        std::size_t j = i;
        for (; j < refs.size() && refs[j].time == refs[i].time && refs[j].group == refs[i].group;
             ++j)
            AppendEntryLines(piece, model, *refs[j].entry);
        AppendGenerated(text, piece, model.lineEnd);
        i = j;
    }
    AppendEnd(text, model);
}

}  // namespace ostrand
