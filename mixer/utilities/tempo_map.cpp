#include "mixer/utilities/tempo_map.hpp"

#include <cmath>
#include <cstdio>

#include "mixer/utilities/numbers.hpp"
#include "mixer/utilities/script_lines.hpp"
#include "mixer/utilities/start_offsets.hpp"
#include "mixer/utilities/text_scan.hpp"

namespace varnel {

int ReadAutomationOffset(const ScriptContext& ctx, TimeBase& tb) {
    int status = 0;
    ScanKeyword(ctx.prefs, "offset", [&](Tokenizer& t) {
        std::string_view first;
        if (!NextToken(t, kFieldDelims, first)) return false;
        int64_t offset = 0;
        if (first == "xlink") {
            offset = ctx.inPoint;
        } else {
            double s = 0, ms = 0;
            ReadDecimalValue(t, kTabDelim, s);
            ReadDecimalValue(t, kLineDelim, ms);
            offset = TruncToInt64(ClockSeconds(ReadDecimal(first), s, ms) * double(ctx.rate));
        }
        std::printf("Automation offset by %li samples.\n", long(offset));
        if (offset > INT32_MAX || offset < INT32_MIN) {
            std::puts("Error:  The automation offset is out of range.");
            status = 2;
            return false;
        }
        tb.automationOffset = offset;
        return true;
    });
    return status;
}

void ReadTimeFieldCount(const ScriptContext& ctx, TimeBase& tb) {
    ScanKeyword(ctx.prefs, "tfields", [&](Tokenizer& t) {
        int f = 0;
        if (!ReadIntegerValue(t, kLineDelim, f)) return false;
        if (f < 1 || f > 3) f = 3;
        tb.timeFields = f;
        if (ctx.verbosity == 2) {
            if (f == 1)
                std::puts("Using 1 time field");
            else
                std::printf("Using %i time fields\n", f);
        }
        return true;
    });
}

int ReadTempoMap(std::string_view content, const ScriptContext& ctx, TimeBase& tb) {
    if (ctx.verbosity == 2) std::puts("Constructing tempo map...");
    tb.segmentCount = 0;
    bool any = false;
    int status = 0;
    ScanKeyword(content, "tmap", [&](Tokenizer& t) {
        size_t at = t.pos;
        double bpm = 0;
        int perBar = 0, bars = 0;
        if (!ReadDecimalValue(t, kTabDelim, bpm) || !ReadIntegerValue(t, kTabDelim, perBar) ||
            !ReadIntegerValue(t, kLineDelim, bars))
            return false;
        any = true;
        int line = LineOfPosition(content, at);
        if (tb.segmentCount >= kMaxTempoSegments) {
            std::printf("Tempo map line %i ignored: the map holds at most %i segments.\n", line,
                        kMaxTempoSegments);
            return true;
        }
        TempoSegment seg;
        if (bpm > 0) seg.samplesPerBeat = double(ctx.rate) * 60.0 / bpm;
        seg.beatsPerBar = perBar;
        seg.bars = bars;
        double len = double(bars) * seg.samplesPerBeat * double(perBar);
        seg.lengthSamples = TruncToInt64(len);
        if (bpm <= 0 || perBar <= 0 || bars <= 0 || seg.lengthSamples <= 0 ||
            len > double(INT32_MAX)) {
            std::printf("Error:  Tempo map line %i has no usable tempo, meter or length.\n", line);
            status = 2;
            return false;
        }
        tb.segments[size_t(tb.segmentCount++)] = seg;
        return true;
    });
    if (status != 0) return status;
    if (!any) {
        std::puts("Tempo mode is on, but no tempos or meters have been entered!");
        return 2;
    }
    return 0;
}

int BuildTimeBase(std::string_view content, const ScriptContext& ctx, TimeBase& tb) {
    if (ctx.tempoMode) {
        int status = ReadTempoMap(content, ctx, tb);
        if (status != 0) return status;
    }
    ReadTimeFieldCount(ctx, tb);
    return 0;
}

double TempoPosition(const TimeBase& tb, float bar, float beat, float tick) {
    if (tb.segmentCount <= 0) return 0.0;  // refused earlier by ReadTempoMap
    int64_t passedBars = 0, passedSamples = 0;
    int j = 0;
    for (;; ++j) {
        const TempoSegment& seg = tb.segments[size_t(j)];
        if (double(passedBars + seg.bars) >= double(bar) || j == tb.segmentCount - 1) {
            if (double(passedBars + seg.bars) < double(bar)) {
                // Past the map's end: the last tempo continues.
                passedBars += seg.bars;
                passedSamples += seg.lengthSamples;
            }
            break;
        }
        passedBars += seg.bars;
        passedSamples += seg.lengthSamples;
    }
    const TempoSegment& seg = tb.segments[size_t(j)];
    double x = std::trunc(double(passedSamples) + (double(bar) - double(passedBars) - 1.0) *
                                                      double(seg.beatsPerBar) * seg.samplesPerBeat);
    if (beat > 0)
        x = std::trunc(x + (double(beat) - 1.0) * seg.samplesPerBeat);
    else if (beat < 0)
        x = std::trunc(x + double(beat) * seg.samplesPerBeat);
    return x + double(tick) / 480.0 * seg.samplesPerBeat;
}

}  // namespace varnel
