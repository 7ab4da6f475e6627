#include "mixer/utilities/fader_script/tempo_map.hpp"

#include <cmath>
#include <cstdio>

#include "mixer/utilities/text/numbers.hpp"
#include "mixer/utilities/text/keyword_line.hpp"
#include "mixer/utilities/fader_script/start_offsets.hpp"
#include "mixer/utilities/text/text_scan.hpp"

namespace varnel {

int ReadAutomationOffset(const ScriptContext& ctx, TimeBase& tb) {
    int status = 0;
    ScanKeyword(ctx.prefs, "offset", [&](KeywordLine& k) {
        std::string_view first;
        if (!NextField(k, kFieldDelims, first)) return true;
        int64_t offset = 0;
        if (first == "xlink") {
            offset = ctx.inPoint;
        } else {
            const double m = DecimalOf(k, first);
            const double s = DecimalField(k, kTabDelim);
            const double ms = DecimalField(k, kLineDelim);
            offset = TruncToInt64(ClockSeconds(m, s, ms) * double(ctx.rate));
        }
        std::printf("Automation offset by %li samples.\n", long(offset));
        if (offset > INT32_MAX || offset < INT32_MIN) {
            LineError(ctx.prefs, k.line, "Error:  The automation offset is out of range.\n");
            status = 2;
            return false;
        }
        tb.automationOffset = offset;
        return true;
    });
    return status;
}

void ReadTimeFieldCount(const ScriptContext& ctx, TimeBase& tb) {
    ScanKeyword(ctx.prefs, "tfields", [&](KeywordLine& k) {
        std::string_view v;
        if (!NextField(k, kLineDelim, v)) return true;
        int f = IntegerOf(k, v);
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

int ReadTempoMap(const ScanText& src, const ScriptContext& ctx, TimeBase& tb) {
    if (ctx.verbosity == 2) std::puts("Constructing tempo map...");
    tb.segmentCount = 0;
    bool any = false;
    int status = 0;
    ScanKeyword(src, "tmap", [&](KeywordLine& k) {
        if (NoValue(k, 3)) return true;
        const double bpm = DecimalField(k, kTabDelim);
        const int perBar = IntegerField(k, kTabDelim);
        const int bars = IntegerField(k, kLineDelim);
        any = true;
        if (tb.segmentCount >= kMaxTempoSegments) {
            char text[96];
            std::snprintf(text, sizeof text,
                          "Tempo map line %i ignored: the map holds at most %i segments.\n", k.line,
                          kMaxTempoSegments);
            LineMessage(src, k.line, text);
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
            char text[96];
            std::snprintf(text, sizeof text,
                          "Error:  Tempo map line %i has no usable tempo, meter or length.\n", k.line);
            LineError(src, k.line, text);
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

int BuildTimeBase(const ScanText& src, const ScriptContext& ctx, TimeBase& tb) {
    if (ctx.tempoMode) {
        int status = ReadTempoMap(src, ctx, tb);
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
