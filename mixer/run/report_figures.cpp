#include "mixer/run/report_figures.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "mixer/effects/limiter.hpp"
#include "mixer/stringout/loudness_lines.hpp"
#include "mixer/stringout/report.hpp"
#include "mixer/stringout/run_record.hpp"
#include "mixer/utilities/fader_script/automation_lanes.hpp"
#include "mixer/utilities/limits.hpp"

namespace varnel {

namespace {

constexpr double kFloordB = -144.0;

double PeakdB(double raw, double full) {
    double dB = kFloordB;
    RawTodB(raw, &dB, full, kFloordB);
    return dB;
}

// The track's name as the text report shows it: cut at its first '.'.
std::string TrackName(const TrackList& t, int ch) {
    const size_t row = size_t(ch - 1);
    std::string name = row < t.storedNames.size() ? t.storedNames[row] : std::string();
    const size_t dot = name.find('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

std::string ChannelLabel(const TrackList& t, int ch) {
    const std::string name = TrackName(t, ch);
    return "Ch " + std::to_string(ch) + (name.empty() ? "" : " " + name);
}

void OutputColumnsInto(const HtmlSources& s, HtmlFigures& f) {
    const OutputColumns& c = *s.columns;
    const double full = s.prefs->outBits == 16 ? 32768.0 : 8388608.0;
    const size_t C = size_t(c.columns);
    auto side = [&](const std::vector<int32_t>& lo, const std::vector<int32_t>& hi,
                    std::vector<float>& outLo, std::vector<float>& outHi) {
        outLo.assign(C, 0.0f);
        outHi.assign(C, 0.0f);
        for (size_t k = 0; k < C; ++k) {
            if (lo[k] > hi[k]) continue;  // no sample came (a window shorter than a column)
            outLo[k] = float(double(lo[k]) / full);
            outHi[k] = float(double(hi[k]) / full);
        }
    };
    side(c.minL, c.maxL, f.minL, f.maxL);
    f.fullScaleL = c.fullScaleL;
    if (f.mono) {
        f.minR = f.minL, f.maxR = f.maxL, f.fullScaleR = f.fullScaleL;
    } else {
        side(c.minR, c.maxR, f.minR, f.maxR);
        f.fullScaleR = c.fullScaleR;
    }
    if (!c.limiterInput.empty()) {
        f.limiterdB.assign(C, 0.0f);
        for (size_t k = 0; k < C; ++k)
            f.limiterdB[k] = float(LimiterReductiondB(c.limiterInput[k], s.fx->limThresh[0]));
    }
}

// Momentary and short-term loudness per column: the loudest value whose
// 100 ms sub-block ends inside the column; a column where none ends keeps
// the value before it.
void LoudnessInto(const HtmlSources& s, HtmlFigures& f) {
    const OutputColumns& c = *s.columns;
    const LoudnessState& m = s.meters->loudness;
    const float none = std::numeric_limits<float>::quiet_NaN();
    f.momentary.assign(size_t(c.columns), none);
    f.shortTerm.assign(size_t(c.columns), none);
    std::vector<uint8_t> fresh(size_t(c.columns), 0);
    const int64_t subs = int64_t(m.subSums.size());
    for (int64_t j = 0; j < subs; ++j) {
        const int64_t end = (j + 1) * int64_t(m.rate) / 10;  // frames after the window start
        const size_t k = size_t(ColumnOfSample(c, c.windowStart + end - 1));
        const float mom = float(LoudnessOfLast(m, j, kGatingSubBlocks));
        const float st = float(LoudnessOfLast(m, j, kShortTermSubBlocks));
        auto keep = [&](float& slot, float v) {
            if (std::isnan(v)) return;
            if (!fresh[k] || std::isnan(slot) || v > slot) slot = v;
        };
        keep(f.momentary[k], mom);
        keep(f.shortTerm[k], st);
        fresh[k] = 1;
    }
    for (size_t k = 1; k < size_t(c.columns); ++k) {
        if (fresh[k]) continue;
        f.momentary[k] = f.momentary[k - 1];
        f.shortTerm[k] = f.shortTerm[k - 1];
    }
    // Silence has no loudness to draw.
    for (float* v : {f.momentary.data(), f.shortTerm.data()})
        for (size_t k = 0; k < size_t(c.columns); ++k)
            if (std::isinf(v[k])) v[k] = none;
}

void LanesInto(const HtmlSources& s, HtmlFigures& f) {
    LaneSource src;
    src.faders = s.faders;
    src.vcas = s.vcas;
    src.settings = s.settings;
    src.routing = s.routing;
    src.channelActive = s.script->active.data();
    src.trackCount = s.tracks->count;
    src.windowStart = s.window.start;
    src.windowLength = s.window.length;
    src.columns = f.columns;
    for (LevelLane& lane : AutomationLanes(src)) {
        HtmlLane h;
        switch (lane.kind) {
            case LaneKind::Channel: h.label = ChannelLabel(*s.tracks, lane.number); break;
            case LaneKind::Submix: h.label = "Sub " + std::to_string(lane.number); break;
            case LaneKind::Vca: h.label = "VCA " + std::to_string(lane.number); break;
            case LaneKind::Master: h.label = "Master"; break;
        }
        if (lane.vca != 0) h.note = "in VCA " + std::to_string(lane.vca);
        if (!lane.played) h.note = h.note.empty() ? "not played" : h.note + ", not played";
        h.played = lane.played;
        h.edgedB = std::move(lane.edgedB);
        h.lowdB = std::move(lane.lowdB);
        h.highdB = std::move(lane.highdB);
        for (const LaneEntry& e : lane.entries) {
            h.entryColumn.push_back(e.column);
            h.entrydB.push_back(float(e.dotdB));
        }
        f.lanes.push_back(std::move(h));
    }
}

// The strips the text report lists, in its order: channels with a file,
// the reverb sends, the active submixes; then the master's output.
void StripsInto(const HtmlSources& s, HtmlFigures& f) {
    const MixMeters& m = *s.meters;
    const ReverbSettings& rv = s.fx->reverb;
    auto strip = [&](std::string label, int slot, bool clip) {
        const double l = PeakdB(m.peakL[slot], kBusFullScale), r = PeakdB(m.peakR[slot], kBusFullScale);
        f.strips.push_back({std::move(label), l, r, clip});
    };
    for (int ch = 1; ch <= s.tracks->count && ch < kChannelTable; ++ch)
        if (s.tracks->enabled[ch]) strip(ChannelLabel(*s.tracks, ch), ch, m.clip[ch] == 1);
    // A send has no clip flag; the text report says "Over" past full scale.
    auto send = [&](const char* label, int slot) {
        strip(label, slot, false);
        f.strips.back().clip = f.strips.back().peakdBL > 0.0 || f.strips.back().peakdBR > 0.0;
    };
    if (rv.roomActive || s.fx->master.sendsRev) send("Rev (send)", kRevSendSlot);
    if (rv.tapActive || s.fx->master.sendsTrev) send("Trev (send)", kTapSendSlot);
    for (int k = 1; k < kBuses; ++k)
        if (s.routing->busActive[size_t(k)])
            strip("Sub " + std::to_string(k), kSubmixBase + k, m.clip[kSubmixBase + k] == 1);
    f.strips.push_back({"Master (output)", f.peakOutdBL, f.peakOutdBR,
                        m.clip[0] == 1 || m.outputClips.total > 0});
}

std::string FormatText(int bits, bool mono, uint32_t rate) {
    return std::to_string(bits) + "-bit PCM WAV, " + (mono ? "mono, " : "stereo, ") +
           std::to_string(rate) + " Hz";
}

}  // namespace

HtmlFigures BuildHtmlFigures(const HtmlSources& s) {
    HtmlFigures f;
    const Prefs& p = *s.prefs;
    f.mixName = p.mixName;
    f.outputFile = p.outputName;
    f.format = FormatText(p.outBits, p.mono, s.rate);
    f.date = UtcText(s.date);  // as the run record gives it
    f.rate = s.rate;
    f.windowStart = s.window.start;
    f.windowLength = s.window.length;
    f.songLength = s.songLength;
    f.hasDitherSeed = s.hasDitherSeed;
    f.ditherSeed = s.ditherSeed;
    f.loudness = s.loudness;
    f.target = s.target;
    // Every warning of the run, those that close the text report included.
    for (const Warning& w : s.diag->warnings) f.warnings.push_back(w.text);

    const MixMeters& m = *s.meters;
    const double full = p.outBits == 16 ? 32768.0 : 8388608.0;
    f.peakOutdBL = PeakdB(m.peakOutL, full);
    f.peakOutdBR = PeakdB(m.peakOutR, full);
    f.peakOutPosL = m.peakOutPosL;
    f.peakOutPosR = m.peakOutPosR;

    f.mono = p.mono;
    f.columns = s.columns->columns;
    if (f.columns > 0) {
        OutputColumnsInto(s, f);
        LoudnessInto(s, f);
        LanesInto(s, f);
    }
    StripsInto(s, f);
    return f;
}

}  // namespace varnel
