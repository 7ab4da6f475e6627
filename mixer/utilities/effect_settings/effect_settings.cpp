#include "mixer/utilities/effect_settings/effect_settings.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "mixer/utilities/text/numbers.hpp"
#include "mixer/utilities/text/param_reader.hpp"
#include "mixer/utilities/text/text_scan.hpp"
#include "mixer/utilities/text/value_checks.hpp"

namespace varnel {

EffectSettings::EffectSettings() { ResetEffectSettings(*this); }

template <class T, size_t N>
static void Fill(T (&table)[N], T value) {
    std::fill(std::begin(table), std::end(table), value);
}

void ResetEffectSettings(EffectSettings& fx) {
    Fill(fx.compOn, 0);
    Fill(fx.compThresh, int32_t(kUnityThreshold));
    Fill(fx.compAttack, int32_t(0));
    Fill(fx.compRelease, int32_t(0));
    Fill(fx.compRatio, 1.0);
    Fill(fx.rmsOn, 0);
    Fill(fx.rmsThresh, int32_t(kUnityThreshold));
    Fill(fx.rmsAttack, int32_t(0));
    Fill(fx.rmsRelease, int32_t(0));
    Fill(fx.rmsRatio, 1.0);
    Fill(fx.nlcOn, 0);
    Fill(fx.nlcThresh, int32_t(kUnityThreshold));
    Fill(fx.nlcWindow, int32_t(0));
    Fill(fx.nlcRatio, 1.0);
    Fill(fx.limOn, 0);
    Fill(fx.limThresh, int32_t(kUnityThreshold));
    Fill(fx.hpOn, 0);
    Fill(fx.hpFeedback, 0.0);
    Fill(fx.hpInput, 1.0);
    for (int st = 0; st < kEqSettingStages; ++st) {
        Fill(fx.eqOn[st], 0);
        Fill(fx.eq[st], Biquad{1.0, 0.0, 0.0, 0.0, 0.0});
    }
    Fill(fx.revOn, 0);
    Fill(fx.revLevel, 0.0f);
    Fill(fx.trevOn, 0);
    Fill(fx.trevLevel, 0.0f);
    for (auto& row : fx.position) Fill(row, kDefaultPosition);
    Fill(fx.hasEffects, 0);
    fx.master = MasterFlags{};
    fx.reverb = ReverbSettings{};
}

bool EffectEnabled(const EffectSettings& fx, int effect, int slot) {
    if (slot < 0 || slot >= kSlots) return false;
    switch (effect) {
    case kHp: return fx.hpOn[slot] != 0;
    case kBand1: case kBand2: case kBand3: case kBand4:
        return fx.eqOn[effect - kBand1 + 1][slot] != 0;
    case kHshelf: return fx.eqOn[kHighShelfStage][slot] != 0;
    case kLshelf: return fx.eqOn[kLowShelfStage][slot] != 0;
    case kRms: return fx.rmsOn[slot] != 0;
    case kNlc: return fx.nlcOn[slot] != 0;
    case kComp: return fx.compOn[slot] != 0;
    case kLim: return fx.limOn[slot] != 0;
    default: return false;
    }
}

namespace {

// Everything one pass needs besides the scratch table.
struct Pass {
    const ScanText& content;
    double rate;
    int levelMode;  // 0 decibels, 1 percent
    ParamTable& table;
    int& anyMaster;
    ParamLines lines{};  // the line of each row of the table
};

bool IsBusSlot(int slot) { return slot == 0 || (slot > kSubmixBase && slot <= kSubmixBase + 8); }

// A threshold in the slot's own sample scale: channels at 2^23 full scale,
// master and submixes 256 times that, less one so 0 dB fits in 32 bits.
int32_t ThresholdToRaw(double t, int levelMode, int slot) {
    ClampThreshold(t, levelMode == 1);
    double scaled = levelMode == 1 ? t / 100.0 * kChannelFullScale
                                   : std::pow(10.0, t / 20.0) * kChannelFullScale;
    int64_t raw = TruncToInt64(scaled);
    if (IsBusSlot(slot)) raw = raw * 256 - 1;
    return int32_t(std::clamp<int64_t>(raw, INT32_MIN, INT32_MAX));
}

int32_t MsToSamples(double ms, double rate) { return TruncToInt32(rate / 1000.0 * ms); }

template <class Body>
void ForEachPresent(const ParamTable& table, Body body) {
    for (int slot = 0; slot < kFxSlots; ++slot)
        if (table[size_t(slot)][0] == 1.0) body(slot, table[size_t(slot)]);
}

// "comp" and "rms": threshold, attack ms, release ms, ratio.
void ReadCompressor(Pass& p, const char* keyword, int& masterFlag, int* on, int32_t* thresh,
                    int32_t* attack, int32_t* release, double* ratio) {
    ParamsFromBuffer(p.content, keyword, p.table, 5, masterFlag, p.anyMaster, &p.lines);
    ForEachPresent(p.table, [&](int slot, const auto& row) {
        on[slot] = 1;
        thresh[slot] = ThresholdToRaw(row[1], p.levelMode, slot);
        int a = MsToSamples(row[2], p.rate);
        ClampAttackSamples(a, p.rate);
        attack[slot] = a;
        int r = MsToSamples(row[3], p.rate);
        ClampReleaseSamples(r, p.rate);
        release[slot] = r;
        double q = row[4];
        ClampRatio(q);
        ratio[slot] = q;
    });
}

// A design frequency: [1, rate/2], then kept clear of half the rate.
double DesignFrequency(const Pass& p, int slot, double f, const char* keyword) {
    ClampDesignFrequency(f, p.rate);
    double top = p.rate * kMaxDesignFraction;
    if (f > top) {
        f = top;
        char text[80];
        std::snprintf(text, sizeof text, "Resetting %s frequency to %g Hz\n", keyword, top);
        LineMessage(p.content, p.lines[size_t(slot)], text);
    }
    return f;
}

using Design = Biquad (*)(double, double, double, double);

void ReadEqStage(Pass& p, const char* keyword, int stage, int& masterFlag, Design design,
                 EffectSettings& fx) {
    ParamsFromBuffer(p.content, keyword, p.table, 4, masterFlag, p.anyMaster, &p.lines);
    ForEachPresent(p.table, [&](int slot, const auto& row) {
        fx.eqOn[stage][slot] = 1;
        double f = DesignFrequency(p, slot, row[1], keyword);
        double g = row[2];
        ClampEqGain(g);
        double q = row[3];
        ClampEqQ(q);
        fx.eq[stage][slot] = design(f, g, q, p.rate);
    });
}

void ReadSend(Pass& p, const char* keyword, int& masterFlag, int* on, float* level) {
    ParamsFromBuffer(p.content, keyword, p.table, 2, masterFlag, p.anyMaster, &p.lines);
    ForEachPresent(p.table, [&](int slot, const auto& row) {
        on[slot] = 1;
        double g = LevelToGain(row[1], p.levelMode == 1);
        level[slot] = float(std::min(g, 1.0));
    });
}

void Announce(int verbosity, const char* group) {
    if (verbosity == 3) std::puts(group);
}

void SetHasEffects(EffectSettings& fx, int trackCount) {
    auto any = [&](int slot) {
        for (int e = 0; e < kChainEffects; ++e)
            if (EffectEnabled(fx, e, slot)) return 1;
        return 0;
    };
    int last = std::min(trackCount, kMaxChannels);
    for (int ch = 1; ch <= last; ++ch) fx.hasEffects[ch] = any(ch);
    for (int slot = kSubmixBase + 1; slot < kSlots; ++slot) fx.hasEffects[slot] = any(slot);
}

}  // namespace

void ReadEffectSettings(const ScanText& faderContent, const ScanText& prefsContent,
                        uint32_t rate, bool percentMode, int verbosity, int trackCount,
                        bool masterFxg, bool mixDirSet, const std::string& mixDir,
                        EffectSettings& out) {
    ResetEffectSettings(out);
    auto table = std::make_unique<ParamTable>();
    MasterFlags& m = out.master;
    // A zero rate would divide every design by zero; the caller never passes one.
    Pass p{faderContent, double(std::max<uint32_t>(rate, 1)), percentMode ? 1 : 0, *table,
           m.anyEffect, {}};

    if (verbosity >= 2) std::puts("Reading effect settings...");

    Announce(verbosity, "\tReading peak compressor settings...");
    ReadCompressor(p, "comp", m.comp, out.compOn, out.compThresh, out.compAttack,
                   out.compRelease, out.compRatio);
    ReadCompressor(p, "rms", m.rms, out.rmsOn, out.rmsThresh, out.rmsAttack, out.rmsRelease,
                   out.rmsRatio);

    Announce(verbosity, "\tReading NLC compressor settings...");
    ParamsFromBuffer(p.content, "nlc", *table, 4, m.nlc, m.anyEffect, &p.lines);
    ForEachPresent(*table, [&](int slot, const auto& row) {
        out.nlcOn[slot] = 1;
        out.nlcThresh[slot] = ThresholdToRaw(row[1], p.levelMode, slot);
        out.nlcWindow[slot] = TruncToInt32(row[2]);
        double q = row[3];
        ClampRatio(q);
        out.nlcRatio[slot] = q;
    });
    ParamsFromBuffer(p.content, "lim", *table, 2, m.lim, m.anyEffect, &p.lines);
    ForEachPresent(*table, [&](int slot, const auto& row) {
        out.limOn[slot] = 1;
        out.limThresh[slot] = ThresholdToRaw(row[1], p.levelMode, slot);
    });

    Announce(verbosity, "\tReading high pass filter settings...");
    ParamsFromBuffer(p.content, "hp", *table, 2, m.hp, m.anyEffect, &p.lines);
    ForEachPresent(*table, [&](int slot, const auto& row) {
        out.hpOn[slot] = 1;
        HighPassCoeffs c = HighPassCoefficients(DesignFrequency(p, slot, row[1], "hp"), p.rate);
        out.hpFeedback[slot] = c.feedback;
        out.hpInput[slot] = c.input;
    });

    Announce(verbosity, "\tReading band 1-4 EQ settings...");
    for (int b = 1; b <= 4; ++b)
        ReadEqStage(p, ChainEffectName(kBand1 + b - 1).data(), b, m.band[b], PeakingBand, out);

    Announce(verbosity, "\tReading high and low shelf EQ settings...");
    ReadEqStage(p, "hshelf", kHighShelfStage, m.hshelf, HighShelf, out);
    ReadEqStage(p, "lshelf", kLowShelfStage, m.lshelf, LowShelf, out);

    Announce(verbosity, "\tReading reverb settings...");
    ReadSend(p, "rev", m.rev, out.revOn, out.revLevel);
    ReadSend(p, "trev", m.trev, out.trevOn, out.trevLevel);
    m.sendsRev = m.rev;
    m.sendsTrev = m.trev;
    m.limiter = m.lim;

    ReverbSettings& rv = out.reverb;
    ReadReturnLines(p.content, percentMode, rv);
    rv.roomActive = (rv.roomWanted || m.rev) ? 1 : 0;
    rv.tapActive = (rv.tapWanted || m.trev) ? 1 : 0;
    if (rv.roomActive) ReadTapPreference(prefsContent, mixDirSet, mixDir, rv);
    ReadReverbPlacement(p.content, rv);
    ReadReverbFilters(p.content, p.rate, rv);

    ReadOrderLines(p.content, out.position);

    if (masterFxg) {
        m.fxg = 1;
        m.anyEffect = 1;
    }
    SetHasEffects(out, trackCount);
}

}  // namespace varnel
