#include "mixer/utilities/fader_script/time_entries.hpp"

#include <cmath>
#include <cstdio>

#include "mixer/utilities/fader_script/level_math.hpp"
#include "mixer/utilities/text/numbers.hpp"
#include "mixer/utilities/fader_script/script_lines.hpp"
#include "mixer/utilities/fader_script/start_offsets.hpp"
#include "mixer/utilities/fader_script/tempo_map.hpp"

namespace varnel {

namespace {

// The most recent level entry; "rmp", "ofs" and "shape" act on it.
struct EntryCursor {
    enum Kind { None, Fader, Vca } kind = None;
    int fader = 0;
    int index = 0;
    float pendingOffset = 0.0f;
};

struct EntryPass {
    const ScanText& src;
    const ScriptContext& ctx;
    TimeBase& tb;
    FaderTables& faders;
    VcaTables& vcas;
    FaderSettings& settings;
    EntryCursor cursor;
};

bool FitsTable(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

// Reads a "t" line; a missing time field counts as 0. Returns 0 or the fatal
// status.
int ReadTimeLine(EntryPass& p, KeywordLine& k) {
    const int fields = p.tb.timeFields;
    if (NoValue(k, fields)) return 0;
    double f[3] = {0, 0, 0};
    for (int i = 0; i < fields; ++i) f[i] = DecimalField(k, i == fields - 1 ? kLineDelim : kTabDelim);
    double pos = 0;
    if (p.ctx.tempoMode) {
        float bar = 0, beat = 0, tick = 0;
        if (fields == 1) {
            beat = float(f[0]);
        } else {
            bar = float(f[0]);
            beat = float(f[1]);
            tick = fields == 3 ? float(f[2]) : 0.0f;
        }
        pos = TempoPosition(p.tb, bar, beat, tick) + double(p.tb.automationOffset);
    } else {
        double sec = fields == 3 ? ClockSeconds(f[0], f[1], f[2])
                     : fields == 2 ? ClockSeconds(f[0], f[1], 0)
                                   : ClockSeconds(0, f[0], 0);
        pos = std::trunc(sec * double(p.ctx.rate)) + double(p.tb.automationOffset);
    }
    int64_t time = TruncToInt64(pos);
    ++p.tb.entryCount;
    char text[80];
    if (time > p.ctx.songLength) {
        std::snprintf(text, sizeof text, "Error:  Time entry %i exceeds song length\n", p.tb.entryCount);
        CheckFieldCount(k);
        LineError(p.src, k.line, text);
        return 2;
    }
    if (time < 0) {
        std::snprintf(text, sizeof text, "Error:  Time entry %i is less than zero\n", p.tb.entryCount);
        CheckFieldCount(k);
        LineError(p.src, k.line, text);
        return 2;
    }
    p.tb.currentTime = time;
    return 0;
}

// Appends an entry at the current time; false when the table cannot take it.
template <int N>
bool AppendEntry(EntryPass& p, LevelTables<N>& tables, int fader, double value, int line,
                 EntryCursor::Kind kind) {
    int& count = tables.count[size_t(fader)];
    p.cursor.kind = EntryCursor::None;
    char text[96];
    if (count >= kMaxEntries) {
        std::snprintf(text, sizeof text, "Line %i ignored: fader %i already holds %i level entries.\n",
                      line, fader, kMaxEntries);
        LineMessage(p.src, line, text);
        return false;
    }
    if (!FitsTable(p.tb.currentTime)) {
        std::snprintf(text, sizeof text, "Line %i ignored: its time lies outside the fader tables.\n",
                      line);
        LineMessage(p.src, line, text);
        return false;
    }
    size_t i = size_t(count) * N + size_t(fader);
    tables.time[i] = int32_t(p.tb.currentTime);
    tables.level[i] = CheckFader(value, p.ctx.percentMode, fader, count + 1, p.src, line);
    tables.ramp[i] = 0;
    tables.shape[i] = 1.0f;
    tables.line[i] = line;
    p.cursor = EntryCursor{kind, fader, count, 0.0f};
    ++count;
    return true;
}

template <int N>
void SetCursorRamp(EntryPass& p, LevelTables<N>& tables, double seconds, bool vca, int line) {
    const EntryCursor& c = p.cursor;
    int64_t ramp = TruncToInt64(seconds * double(p.ctx.rate));
    char text[160];
    if (c.index == 0 || p.tb.currentTime == 0) {
        std::snprintf(text, sizeof text,
                      "Error:  A ramp was found under an initial volume entry (channel %i).\n"
                      "This is for initial volume only.\n",
                      c.fader);
        LineMessage(p.src, line, text);
        ramp = 0;
    }
    double startAt = double(p.tb.currentTime) + double(c.pendingOffset);
    if (startAt + double(ramp) > double(p.ctx.songLength)) {
        ramp = TruncToInt64(double(p.ctx.songLength) - startAt);
        std::snprintf(text, sizeof text,
                      vca ? "Adjusted vca ramp that exceeded song length (channel %i)\n"
                          : "Adjusted volume ramp that exceeded song length (channel %i)\n",
                      c.fader);
        LineMessage(p.src, line, text);
    }
    if (ramp < 0) {
        LineMessage(p.src, line,
                    vca ? "Error:  Time entry for vca ramp is less than zero. Ramp reset to 0.\n"
                        : "Error:  Time entry for volume ramp is less than zero. Ramp reset to 0.\n");
        ramp = 0;
    }
    // The song length bounds the ramp from above; the tables are 32-bit.
    if (ramp > INT32_MAX) ramp = INT32_MAX;
    tables.ramp[size_t(c.index) * N + size_t(c.fader)] = int32_t(ramp);
}

template <int N>
void MoveCursorEntry(EntryPass& p, LevelTables<N>& tables, float offset, int line) {
    int32_t& time = tables.time[size_t(p.cursor.index) * N + size_t(p.cursor.fader)];
    int64_t moved = TruncToInt64(double(time) + double(offset));
    if (!FitsTable(moved)) {
        char text[96];
        std::snprintf(text, sizeof text,
                      "Line %i ignored: the moved time lies outside the fader tables.\n", line);
        LineMessage(p.src, line, text);
        return;
    }
    time = int32_t(moved);
    p.cursor.pendingOffset = offset;
}

bool IsEntryKeyword(std::string_view tok) {
    return tok == "t" || tok == "inc" || tok == "v" || tok == "vca" || tok == "rmp" ||
           tok == "ofs" || tok == "shape" || tok == "p" || tok == "pol";
}

// A level missing from its line is the level of a fader without entries.
double MissingLevel(bool percentMode) { return percentMode ? 0.0 : kSilencedB; }

int RunPass(EntryPass& p) {
    int status = 0;
    ScanKeywords(
        p.src, [](std::string_view tok, size_t) { return IsEntryKeyword(tok); },
        [&](KeywordLine& k) {
            const std::string_view tok = k.keyword;
            const bool twoFields = tok == "v" || tok == "vca" || tok == "p" || tok == "pol";
            if (tok != "t" && NoValue(k, twoFields ? 2 : 1)) return true;
            if (tok == "t") {
                status = ReadTimeLine(p, k);
                return status == 0;
            }
            if (tok == "inc") {
                const double sec = DecimalField(k, kLineDelim);
                p.tb.currentTime = TruncToInt64(double(p.tb.currentTime) + sec * double(p.ctx.rate));
            } else if (tok == "v") {
                int slot = 0;
                bool isMaster = false;
                ReadFaderDesignator(k, slot, isMaster);
                const double value = DecimalField(k, kLineDelim, MissingLevel(p.ctx.percentMode));
                if (!AppendEntry(p, p.faders, slot, value, k.line, EntryCursor::Fader)) return true;
                if (isMaster) p.settings.hasLevels[0] = 1;
                if (slot >= kSubmixBase + 1 && slot <= kSubmixBase + 8)
                    p.settings.hasLevels[size_t(slot)] = 1;
            } else if (tok == "vca") {
                int v = IntegerField(k, kTabDelim);
                const double value = DecimalField(k, kLineDelim, MissingLevel(p.ctx.percentMode));
                if (v < 1 || v > 8) v = 0;
                AppendEntry(p, p.vcas, v, value, k.line, EntryCursor::Vca);
            } else if (tok == "rmp" || tok == "ofs" || tok == "shape") {
                const double value = DecimalField(k, kLineDelim);
                if (p.cursor.kind == EntryCursor::None) return true;
                const bool vca = p.cursor.kind == EntryCursor::Vca;
                if (tok == "rmp") {
                    if (vca)
                        SetCursorRamp(p, p.vcas, value, true, k.line);
                    else
                        SetCursorRamp(p, p.faders, value, false, k.line);
                } else if (tok == "ofs") {
                    const float offset = float(value * double(p.ctx.rate));
                    if (vca)
                        MoveCursorEntry(p, p.vcas, offset, k.line);
                    else
                        MoveCursorEntry(p, p.faders, offset, k.line);
                } else {
                    const float shape = float(value);
                    const size_t i = size_t(p.cursor.index) * size_t(vca ? kVcas : kSlots) +
                                     size_t(p.cursor.fader);
                    if (shape >= 0.125f && shape <= 8.0f) (vca ? p.vcas.shape : p.faders.shape)[i] = shape;
                }
            } else {  // "p" and "pol"
                int slot = 0;
                bool isMaster = false;
                ReadFaderDesignator(k, slot, isMaster);
                const int value = IntegerField(k, kLineDelim);
                if (tok == "p") {
                    p.settings.pan[size_t(slot)] = value;
                    p.settings.panLine[size_t(slot)] = k.line;
                } else {
                    p.settings.polarity[size_t(slot)] = (value == -1 || value == 1) ? value : 1;
                }
            }
            return true;
        });
    return status;
}

}  // namespace

int32_t CheckFader(double value, bool percentMode, int fader, int entry, const ScanText& src,
                   int line) {
    char text[96];
    if (percentMode) {
        if (value > 400.0) {
            value = 400.0;
            std::snprintf(text, sizeof text, ">> Warning: fader %i (entry %i) set above 400 percent\n",
                          fader, entry);
            LineMessage(src, line, text);
        }
        if (value < 0.0) {
            value = 0.0;
            std::snprintf(text, sizeof text, ">> Warning: fader %i (entry %i) set below 0 percent\n",
                          fader, entry);
            LineMessage(src, line, text);
        }
        return TruncToInt32(value / 100.0 * double(kLevelUnity));
    }
    if (value > 12.02) {
        value = 12.02;
        std::snprintf(text, sizeof text, ">> Warning: fader %i (entry %i) set above 12.02 dB\n", fader,
                      entry);
        LineMessage(src, line, text);
    }
    if (value < kSilencedB) value = kSilencedB;
    return dBToLevel(value);
}

int ReadTimeEntries(const ScanText& src, const ScriptContext& ctx, TimeBase& tb,
                    FaderTables& faders, VcaTables& vcas, FaderSettings& settings) {
    if (ctx.songLength > INT32_MAX) {
        std::printf("Error:  The song length of %lld samples exceeds the fader tables.\n",
                    (long long)ctx.songLength);
        return 2;
    }
    if (ctx.verbosity == 2) std::puts("Reading volume and pan settings...");
    tb.currentTime = 0;
    tb.entryCount = 0;
    EntryPass p{src, ctx, tb, faders, vcas, settings, {}};
    int status = RunPass(p);
    if (status != 0) return status;
    if (ctx.verbosity == 2) {
        if (tb.entryCount > 1)
            std::printf("Counted %i time entries.\n", tb.entryCount);
        else if (tb.entryCount == 1)
            std::puts("Counted 1 time entry.");
        else
            std::puts("No time entries found!");
    }
    return 0;
}

}  // namespace varnel
