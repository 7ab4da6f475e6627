#include "mixer/utilities/time_entries.hpp"

#include <cmath>
#include <cstdio>

#include "mixer/utilities/level_math.hpp"
#include "mixer/utilities/numbers.hpp"
#include "mixer/utilities/script_lines.hpp"
#include "mixer/utilities/start_offsets.hpp"
#include "mixer/utilities/tempo_map.hpp"
#include "mixer/utilities/text_scan.hpp"

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
    std::string_view content;
    const ScriptContext& ctx;
    TimeBase& tb;
    FaderTables& faders;
    VcaTables& vcas;
    FaderSettings& settings;
    EntryCursor cursor;
};

bool FitsTable(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

// Reads a "t" line. Returns 0 or the fatal status.
int ReadTimeLine(EntryPass& p, Tokenizer& t) {
    const int fields = p.tb.timeFields;
    double f[3] = {0, 0, 0};
    for (int i = 0; i < fields; ++i)
        ReadDecimalValue(t, i == fields - 1 ? kLineDelim : kTabDelim, f[i]);
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
    if (time > p.ctx.songLength) {
        std::printf("Error:  Time entry %i exceeds song length\n", p.tb.entryCount);
        return 2;
    }
    if (time < 0) {
        std::printf("Error:  Time entry %i is less than zero\n", p.tb.entryCount);
        return 2;
    }
    p.tb.currentTime = time;
    return 0;
}

// Appends an entry at the current time; false when the table cannot take it.
template <int N>
bool AppendEntry(EntryPass& p, LevelTables<N>& tables, int fader, double value, size_t at,
                 EntryCursor::Kind kind) {
    int line = LineOfPosition(p.content, at);
    int& count = tables.count[size_t(fader)];
    p.cursor.kind = EntryCursor::None;
    if (count >= kMaxEntries) {
        std::printf("Line %i ignored: fader %i already holds %i level entries.\n", line, fader,
                    kMaxEntries);
        return false;
    }
    if (!FitsTable(p.tb.currentTime)) {
        std::printf("Line %i ignored: its time lies outside the fader tables.\n", line);
        return false;
    }
    size_t i = size_t(count) * N + size_t(fader);
    tables.time[i] = int32_t(p.tb.currentTime);
    tables.level[i] = CheckFader(value, p.ctx.percentMode, fader, count + 1);
    tables.ramp[i] = 0;
    tables.shape[i] = 1.0f;
    p.cursor = EntryCursor{kind, fader, count, 0.0f};
    ++count;
    return true;
}

template <int N>
void SetCursorRamp(EntryPass& p, LevelTables<N>& tables, double seconds, bool vca) {
    const EntryCursor& c = p.cursor;
    int64_t ramp = TruncToInt64(seconds * double(p.ctx.rate));
    if (c.index == 0 || p.tb.currentTime == 0) {
        std::printf("Error:  A ramp was found under an initial volume entry (channel %i).\n"
                    "This is for initial volume only.\n",
                    c.fader);
        ramp = 0;
    }
    double startAt = double(p.tb.currentTime) + double(c.pendingOffset);
    if (startAt + double(ramp) > double(p.ctx.songLength)) {
        ramp = TruncToInt64(double(p.ctx.songLength) - startAt);
        std::printf(vca ? "Adjusted vca ramp that exceeded song length (channel %i)\n"
                        : "Adjusted volume ramp that exceeded song length (channel %i)\n",
                    c.fader);
    }
    if (ramp < 0) {
        std::puts(vca ? "Error:  Time entry for vca ramp is less than zero. Ramp reset to 0."
                      : "Error:  Time entry for volume ramp is less than zero. Ramp reset to 0.");
        ramp = 0;
    }
    // The song length bounds the ramp from above; the tables are 32-bit.
    if (ramp > INT32_MAX) ramp = INT32_MAX;
    tables.ramp[size_t(c.index) * N + size_t(c.fader)] = int32_t(ramp);
}

template <int N>
void MoveCursorEntry(EntryPass& p, LevelTables<N>& tables, float offset, size_t at) {
    int32_t& time = tables.time[size_t(p.cursor.index) * N + size_t(p.cursor.fader)];
    int64_t moved = TruncToInt64(double(time) + double(offset));
    if (!FitsTable(moved)) {
        std::printf("Line %i ignored: the moved time lies outside the fader tables.\n",
                    LineOfPosition(p.content, at));
        return;
    }
    time = int32_t(moved);
    p.cursor.pendingOffset = offset;
}

int RunPass(EntryPass& p) {
    Tokenizer t{p.content, 0};
    std::string_view tok;
    while (NextToken(t, kFieldDelims, tok)) {
        if (tok == "end") break;
        size_t at = t.pos;
        if (tok == "t") {
            int status = ReadTimeLine(p, t);
            if (status != 0) return status;
        } else if (tok == "inc") {
            double sec = 0;
            if (!ReadDecimalValue(t, kLineDelim, sec)) break;
            p.tb.currentTime =
                TruncToInt64(double(p.tb.currentTime) + sec * double(p.ctx.rate));
        } else if (tok == "v") {
            int slot = 0;
            bool isMaster = false;
            double value = 0;
            if (!ReadFaderDesignator(t, slot, isMaster) ||
                !ReadDecimalValue(t, kLineDelim, value))
                break;
            if (!AppendEntry(p, p.faders, slot, value, at, EntryCursor::Fader)) continue;
            if (isMaster) p.settings.hasLevels[0] = 1;
            if (slot >= kSubmixBase + 1 && slot <= kSubmixBase + 8) p.settings.hasLevels[size_t(slot)] = 1;
        } else if (tok == "vca") {
            int v = 0;
            double value = 0;
            if (!ReadIntegerValue(t, kTabDelim, v) || !ReadDecimalValue(t, kLineDelim, value)) break;
            if (v < 1 || v > 8) v = 0;
            AppendEntry(p, p.vcas, v, value, at, EntryCursor::Vca);
        } else if (tok == "rmp" || tok == "ofs" || tok == "shape") {
            double value = 0;
            if (!ReadDecimalValue(t, kLineDelim, value)) break;
            if (p.cursor.kind == EntryCursor::None) continue;
            bool vca = p.cursor.kind == EntryCursor::Vca;
            if (tok == "rmp") {
                if (vca)
                    SetCursorRamp(p, p.vcas, value, true);
                else
                    SetCursorRamp(p, p.faders, value, false);
            } else if (tok == "ofs") {
                float offset = float(value * double(p.ctx.rate));
                if (vca)
                    MoveCursorEntry(p, p.vcas, offset, at);
                else
                    MoveCursorEntry(p, p.faders, offset, at);
            } else {
                float shape = float(value);
                size_t i = size_t(p.cursor.index) * size_t(vca ? kVcas : kSlots) + size_t(p.cursor.fader);
                if (shape >= 0.125f && shape <= 8.0f) (vca ? p.vcas.shape : p.faders.shape)[i] = shape;
            }
        } else if (tok == "p" || tok == "pol") {
            int slot = 0, value = 0;
            bool isMaster = false;
            if (!ReadFaderDesignator(t, slot, isMaster) || !ReadIntegerValue(t, kLineDelim, value))
                break;
            if (tok == "p")
                p.settings.pan[size_t(slot)] = value;
            else
                p.settings.polarity[size_t(slot)] = (value == -1 || value == 1) ? value : 1;
        }
    }
    return 0;
}

}  // namespace

int32_t CheckFader(double value, bool percentMode, int fader, int entry) {
    if (percentMode) {
        if (value > 400.0) {
            value = 400.0;
            std::printf(">> Warning: fader %i (entry %i) set above 400 percent\n", fader, entry);
        }
        if (value < 0.0) {
            value = 0.0;
            std::printf(">> Warning: fader %i (entry %i) set below 0 percent\n", fader, entry);
        }
        return TruncToInt32(value / 100.0 * double(kLevelUnity));
    }
    if (value > 12.02) {
        value = 12.02;
        std::printf(">> Warning: fader %i (entry %i) set above 12.02 dB\n", fader, entry);
    }
    if (value < kSilencedB) value = kSilencedB;
    return dBToLevel(value);
}

int ReadTimeEntries(std::string_view content, const ScriptContext& ctx, TimeBase& tb,
                    FaderTables& faders, VcaTables& vcas, FaderSettings& settings) {
    if (ctx.songLength > INT32_MAX) {
        std::printf("Error:  The song length of %lld samples exceeds the fader tables.\n",
                    (long long)ctx.songLength);
        return 2;
    }
    if (ctx.verbosity == 2) std::puts("Reading volume and pan settings...");
    tb.currentTime = 0;
    tb.entryCount = 0;
    EntryPass p{content, ctx, tb, faders, vcas, settings, {}};
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
