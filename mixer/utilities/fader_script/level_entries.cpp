#include "mixer/utilities/fader_script/level_entries.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include "mixer/utilities/fader_script/level_math.hpp"
#include "mixer/utilities/text/numbers.hpp"
#include "mixer/utilities/fader_script/script_lines.hpp"

namespace varnel {

namespace {

// Multiplies every entry level of channel slots 1..127 by `ratio`.
void ScaleChannelLevels(FaderTables& faders, double ratio) {
    for (int slot = 1; slot <= kMaxChannels; ++slot)
        for (int e = 0; e < faders.count[size_t(slot)]; ++e) {
            int32_t& level = faders.level[size_t(e) * kSlots + size_t(slot)];
            level = TruncToInt32(double(level) * ratio);
        }
}

// The slots whose levels get automatic ramps and ramp limiting.
template <class Fn>
void ForEachAutomatedSlot(int trackCount, Fn fn) {
    fn(0);
    for (int slot = 1; slot <= std::min(trackCount, kMaxChannels); ++slot) fn(slot);
    for (int slot = kSubmixBase + 1; slot < kSlots; ++slot) fn(slot);
}

// Sorts one table; returns the line of the first entry that moved, 0 when
// the order was right.
template <int N>
int SortTable(LevelTables<N>& tables, int fader) {
    int n = tables.count[size_t(fader)];
    auto at = [&](int e) { return size_t(e) * N + size_t(fader); };
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return tables.time[at(a)] < tables.time[at(b)]; });
    int movedLine = -1;
    for (int e = 0; e < n && movedLine < 0; ++e)
        if (order[size_t(e)] != e) movedLine = tables.line[at(order[size_t(e)])];
    if (movedLine < 0) return 0;
    std::vector<int32_t> time(static_cast<size_t>(n)), level(static_cast<size_t>(n)),
        ramp(static_cast<size_t>(n)), line(static_cast<size_t>(n));
    std::vector<float> shape(static_cast<size_t>(n));
    for (int e = 0; e < n; ++e) {
        size_t from = at(order[size_t(e)]);
        time[size_t(e)] = tables.time[from];
        level[size_t(e)] = tables.level[from];
        ramp[size_t(e)] = tables.ramp[from];
        shape[size_t(e)] = tables.shape[from];
        line[size_t(e)] = tables.line[from];
    }
    for (int e = 0; e < n; ++e) {
        tables.time[at(e)] = time[size_t(e)];
        tables.level[at(e)] = level[size_t(e)];
        tables.ramp[at(e)] = ramp[size_t(e)];
        tables.shape[at(e)] = shape[size_t(e)];
        tables.line[at(e)] = line[size_t(e)];
    }
    return std::max(movedLine, 1);
}

template <int N>
void LimitTableRamps(LevelTables<N>& tables, int fader) {
    for (int e = 0; e + 1 < tables.count[size_t(fader)]; ++e) {
        size_t i = size_t(e) * N + size_t(fader);
        int64_t next = tables.time[i + N];
        if (int64_t(tables.time[i]) + tables.ramp[i] > next)
            tables.ramp[i] = int32_t(next - tables.time[i]);
    }
}

}  // namespace

void ReadDelayPans(const ScanText& src, FaderSettings& settings) {
    ScanKeyword(src, "dp", [&](KeywordLine& k) {
        if (NoValue(k, 2)) return true;
        const int ch = IntegerField(k, kTabDelim);
        const int value = IntegerField(k, kLineDelim);
        if (ch >= 1 && ch <= kMaxChannels)
            settings.delayPan[size_t(ch)] = (value < -100 || value > 100) ? 0 : value;
        return true;
    });
}

void ApplyTrims(const ScanText& src, bool percentMode, FaderTables& faders,
                FaderSettings& settings) {
    ScanKeyword(src, "trim", [&](KeywordLine& k) {
        if (NoValue(k, 2)) return true;
        int slot = 0;
        bool isMaster = false;
        ReadFaderDesignator(k, slot, isMaster);
        std::string_view v;
        if (!NextField(k, kLineDelim, v)) return true;  // no value: no trim
        const double value = DecimalOf(k, v);
        double ratio = percentMode ? value / 100.0 : std::pow(10.0, value / 20.0);
        bool above = percentMode ? ratio > std::pow(10.0, 24.0 / 20.0) : value > 24.0;
        if (above) {
            char text[80];
            std::snprintf(text, sizeof text, "Channel %i volume trim set above 24 dB. Trim bypassed.\n",
                          slot);
            LineMessage(src, k.line, text);
            return true;
        }
        settings.trim[size_t(slot)] = ratio;
        settings.trimSet[size_t(slot)] = 1;
        return true;
    });
    for (int slot = 0; slot < kSlots; ++slot) {
        if (!settings.trimSet[size_t(slot)]) continue;
        for (int e = 0; e < faders.count[size_t(slot)]; ++e) {
            int32_t& level = faders.level[size_t(e) * kSlots + size_t(slot)];
            level = TruncToInt32(double(level) * settings.trim[size_t(slot)]);
        }
    }
}

void ApplyScale(const ScanText& src, FaderTables& faders) {
    bool accepted = false;
    double factor = 1.0;
    ScanKeyword(src, "scale", [&](KeywordLine& k) {
        std::string_view v;
        if (!NextField(k, kLineDelim, v)) return true;
        const double value = DecimalOf(k, v);
        if (value > 8.0) {
            LineMessage(src, k.line, "Scale function value is set above 8.  Scale bypassed\n");
        } else if (value <= 0.0) {
            // A factor of zero or below would silence or invert every channel.
            LineMessage(src, k.line, "Scale function value is zero or negative.  Scale bypassed\n");
        } else {
            accepted = true;
            factor = value;
        }
        return true;
    });
    if (accepted) ScaleChannelLevels(faders, factor);
}

void ApplyMasterTrim(const ScanText& src, FaderTables& faders) {
    bool accepted = false;
    double ratio = 1.0;
    ScanKeyword(src, "mtrim", [&](KeywordLine& k) {
        std::string_view v;
        if (!NextField(k, kLineDelim, v)) return true;
        const double value = DecimalOf(k, v);
        if (value > 24.0) {
            LineMessage(src, k.line,
                        "Master Trim is set above allowed value of 24 dB\n Master trim bypassed\n");
        } else {
            accepted = true;
            ratio = std::pow(10.0, value / 20.0);
        }
        return true;
    });
    if (accepted) ScaleChannelLevels(faders, ratio);
}

void ReadPostEffectsGains(const ScanText& src, FaderSettings& settings) {
    ScanKeyword(src, "fxg", [&](KeywordLine& k) {
        if (NoValue(k, 2)) return true;
        int slot = 0;
        bool isMaster = false;
        ReadFaderDesignator(k, slot, isMaster);
        std::string_view v;
        if (!NextField(k, kFieldDelims, v)) return true;  // no value: the gain stays
        const double value = DecimalOf(k, v);
        double ratio = std::pow(10.0, value / 20.0);
        if (ratio > 15.9) ratio = 1.0;
        settings.postGain[size_t(slot)] = ratio;
        if (isMaster) settings.masterHasEffects = true;
        return true;
    });
}

void CheckPansAndLevels(const ScanText& src, FaderTables& faders, FaderSettings& settings) {
    char text[128];
    for (int slot = 0; slot < kSlots; ++slot) {
        int& pan = settings.pan[size_t(slot)];
        if (pan < -100 || pan > 100) {
            pan = 0;
            std::snprintf(text, sizeof text,
                          "Pan on channel %i appears to be set wrong.  Setting to 0.\n", slot);
            LineMessage(src, settings.panLine[size_t(slot)], text);
        }
    }
    constexpr int32_t kLimit = int32_t(1) << 29;
    for (int slot = 0; slot < kSlots; ++slot)
        for (int e = 0; e < faders.count[size_t(slot)]; ++e) {
            const size_t i = size_t(e) * kSlots + size_t(slot);
            int32_t& level = faders.level[i];
            if (level < -kLimit || level > kLimit) {
                level = 0;
                std::snprintf(text, sizeof text,
                              ">> Warning! Volume entry %i on channel %i is above +12 dB.  \n"
                              "Entry reset to -144 dB\n",
                              e + 1, slot);
                LineMessage(src, faders.line[i], text);
            }
        }
}

void SortEntriesByTime(const ScanText& src, FaderTables& faders, VcaTables& vcas) {
    char text[128];
    for (int slot = 0; slot < kSlots; ++slot)
        if (int line = SortTable(faders, slot)) {
            std::snprintf(text, sizeof text,
                          "the level entries of fader %i were out of time order and have been "
                          "sorted.",
                          slot);
            LineWarning(src, line, text, true);
        }
    for (int v = 0; v < kVcas; ++v)
        if (int line = SortTable(vcas, v)) {
            std::snprintf(text, sizeof text,
                          "the level entries of VCA %i were out of time order and have been sorted.",
                          v);
            LineWarning(src, line, text, true);
        }
}

int AddAutomaticRamps(const ScanText& src, const ScriptContext& ctx, FaderTables& faders) {
    double perdB = ctx.dbps > 0.0f ? double(ctx.rate) / double(ctx.dbps) : double(ctx.rate) / 192.0;
    int status = 0;
    ForEachAutomatedSlot(ctx.trackCount, [&](int slot) {
        for (int e = 1; e < faders.count[size_t(slot)]; ++e) {
            size_t i = size_t(e) * kSlots + size_t(slot);
            if (faders.ramp[i] != 0) continue;
            double span = std::fabs(LevelTodB(faders.level[i]) - LevelTodB(faders.level[i - kSlots]));
            int64_t ramp = TruncToInt64(span * perdB);
            if (ramp > INT32_MAX) {
                if (status == 0) {
                    char text[128];
                    std::snprintf(text, sizeof text,
                                  "Error:  The automatic ramp of entry %i on channel %i is too "
                                  "long; raise \"dbps\".\n",
                                  e + 1, slot);
                    LineError(src, faders.line[i], text);
                }
                status = 2;
                continue;
            }
            faders.ramp[i] = int32_t(ramp);
        }
    });
    return status;
}

void LimitRamps(int trackCount, FaderTables& faders, VcaTables& vcas) {
    ForEachAutomatedSlot(trackCount, [&](int slot) { LimitTableRamps(faders, slot); });
    for (int v = 1; v < kVcas; ++v) LimitTableRamps(vcas, v);
}

float ReadPanLaw(const ScanText& prefs) {
    float law = 3.0f;
    ScanKeyword(prefs, "pan", [&](KeywordLine& k) {
        std::string_view v;
        if (!NextField(k, kLineDelim, v)) return false;  // the first line counts, even empty
        law = float(DecimalOf(k, v));
        return false;
    });
    if (law < 0.0f || law > 6.02f) law = 3.0f;
    return law;
}

void ComputePanGains(const ScriptContext& ctx, FaderSettings& s) {
    const float law = s.panLaw;
    for (int slot = 0; slot < kSlots; ++slot) {
        int p = s.pan[size_t(slot)];
        float& left = s.panLeft[size_t(slot)];
        float& right = s.panRight[size_t(slot)];
        bool mono = slot >= 1 && slot <= kMaxChannels && ctx.channels[size_t(slot)] == 1;
        left = right = 1.0f;
        if (!mono) {
            if (p > 0) left = float(100 - p) / 100.0f;
            if (p < 0) right = float(100 + p) / 100.0f;
        } else if (law > 0.0f) {
            float c = dBtoRatio(-law, 1.0f);
            left = right = c;
            if (p > 0) {
                left = c * float(100 - p) / 100.0f;
                right = dBtoRatio(float(p) * law / 100.0f, c);
            }
            if (p < 0) {
                left = dBtoRatio(float(-p) * law / 100.0f, c);
                right = c * float(100 + p) / 100.0f;
            }
        }
    }
    for (int ch = 1; ch <= kMaxChannels; ++ch)
        if (s.delayPan[size_t(ch)] != 0) {
            s.pan[size_t(ch)] = s.delayPan[size_t(ch)];
            s.panLeft[size_t(ch)] = s.panRight[size_t(ch)] = 1.0f;
        }
}

int ApplyAfterEntries(const ScanText& src, const ScriptContext& ctx, FaderTables& faders,
                      VcaTables& vcas, FaderSettings& settings) {
    ReadDelayPans(src, settings);
    ApplyTrims(src, ctx.percentMode, faders, settings);
    ApplyScale(src, faders);
    ApplyMasterTrim(src, faders);
    ReadPostEffectsGains(src, settings);
    CheckPansAndLevels(src, faders, settings);
    SortEntriesByTime(src, faders, vcas);
    int status = AddAutomaticRamps(src, ctx, faders);
    if (status != 0) return status;
    LimitRamps(ctx.trackCount, faders, vcas);
    settings.panLaw = ReadPanLaw(ctx.prefs);
    ComputePanGains(ctx, settings);
    return 0;
}

}  // namespace varnel
