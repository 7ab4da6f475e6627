#include "adjuster/session.hpp"

#include "adjuster/command_line.hpp"
#include "adjuster/formats.hpp"
#include "adjuster/parsing.hpp"

namespace ostrand {

bool LoadSession(Session& session, std::FILE* out, bool help) {
    if (session.path.size() > kMaxFileNameLength) {
        std::fprintf(out, "File name longer than %zu characters\n", kMaxFileNameLength);
        if (help) PrintHelp(out);
        return false;
    }
    std::string text;
    ReadStatus status = ReadFile(session.path, text, out);
    if (status == ReadStatus::kNotFound && help) PrintHelp(out);
    if (status != ReadStatus::kRead) return false;
    ParseBuffer(std::move(text), session.timeFields, session.model);
    return true;
}

void PrintLoadNotes(const Session& session, std::FILE* out) {
    const FaderModel& m = session.model;
    const std::size_t n = m.unattachedLineNumbers.size();
    if (n > 0) {
        std::string lines;
        for (std::size_t i = 0; i < n; ++i) {
            if (i > 0) lines += i + 1 == n ? " and " : ", ";
            lines += std::to_string(m.unattachedLineNumbers[i]);
        }
        std::fprintf(
            out, "%s %s %s not follow a level line (v or vca): %s kept unattached after 'end'\n",
            n == 1 ? "Line" : "Lines", lines.c_str(), n == 1 ? "does" : "do",
            n == 1 ? "it is" : "they are");
    }
    if (m.hasTempoMap)
        std::fputs(
            "The file has a tempo map (tmap lines): its t lines may count bars, beats "
            "and ticks\n",
            out);
    if (CheckTimeFields(m).mismatch) std::fputs(MisreadMessage(session).c_str(), out);
}

bool TimesMisread(const Session& session) {
    return !session.timesConfirmed && CheckTimeFields(session.model).mismatch;
}

std::string MisreadMessage(const Session& session) {
    FieldCheck check = CheckTimeFields(session.model);
    int inUse = session.model.readFields;
    bool oneField = check.fileFields == 1;
    return "The t lines of " + session.path + " have " + check.counts + " time field" +
           (oneField ? "" : "s") + ", but " + std::to_string(inUse) +
           (inUse == 1 ? " is" : " are") + " in use: the times would be misread\n";
}

void RereadTimes(Session& session, int timeFields) {
    FaderModel fresh;
    ParseBuffer(session.model.text, timeFields, fresh);
    // The same text gives the same entries in the same places; only their
    // times differ.
    for (int slot = 0; slot < kSlotCount; ++slot) {
        for (std::size_t i = 0; i < fresh.rows[slot].size(); ++i) {
            const Entry& old = session.model.rows[slot][i];
            fresh.rows[slot][i].level = old.level;
            fresh.rows[slot][i].edited |= old.edited & kLevelEdited;
        }
    }
    session.model = std::move(fresh);
}

void BuildText(Session& session) {
    if (session.ordering == kByChannels)
        Format1(session.model, session.outputText, session.timeFields);
    else
        Format2(session.model, session.outputText, session.timeFields);
}

void PrintEntryCounts(const FaderModel& model, std::FILE* out) {
    std::fputs("\nEntries:\n", out);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        int count = LevelEntryCount(model, slot);
        if (count == 0) continue;
        if (slot >= kFirstVcaSlot)
            std::fprintf(out, "vca %i:  %i\n", slot - kFirstVcaSlot, count);
        else
            std::fprintf(out, "ch %s:  %i\n", SlotLabel(slot).c_str(), count);
    }
}

}  // namespace ostrand
