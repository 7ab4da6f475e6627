#include "mixer/run/check_summary.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "mixer/utilities/fader_script/order_lines.hpp"

namespace varnel {

namespace {

double Seconds(int64_t samples, uint32_t rate) { return rate ? double(samples) / double(rate) : 0.0; }

std::string Decibels(double gain) {
    char b[32];
    std::snprintf(b, sizeof b, "%.1f dB", gain > 0.0 ? 20.0 * std::log10(gain) : -144.0);
    return b;
}

std::string Format(int bits, int channels) {
    std::string f = std::to_string(bits) + (bits == 32 ? "-bit float" : "-bit");
    return f + (channels == 1 ? " mono" : " stereo");
}

// The strips a summary lists, in this order: master, channels, submixes.
template <class Fn>
void ForEachStrip(int trackCount, Fn fn) {
    fn(0);
    for (int ch = 1; ch <= trackCount; ++ch) fn(ch);
    for (int slot = kSubmixBase + 1; slot <= kSubmixBase + 8; ++slot) fn(slot);
}

std::string JoinSlots(const std::vector<int>& slots) {
    std::string s;
    for (int slot : slots) s += (s.empty() ? "" : ", ") + SlotName(slot);
    return s;
}

void PrintChannels(const CheckView& v) {
    const TrackList& t = *v.tracks;
    std::puts("Channels:");
    for (int ch = 1; ch <= t.count; ++ch) {
        const size_t c = size_t(ch);
        std::printf("  %d %s: ", ch, t.names[c].c_str());
        if (!t.enabled[ch]) {
            const std::string why = t.reason[c].empty() ? "not mixed" : t.reason[c];
            std::printf("not mixed: %s\n", why.c_str());
            continue;
        }
        const TrackHeaders& h = *v.headers;
        const int64_t start = (*v.offsets)[c];
        std::printf("%s, %u Hz, %lld frames (%.3f s), starts at %lld (%.3f s), switch %s",
                    Format(h.bitsPerSample[c], h.channels[c]).c_str(), h.rate[c],
                    (long long)h.length[c], Seconds(h.length[c], h.rate[c]), (long long)start,
                    Seconds(start, v.ctx->rate), t.switches[c].empty() ? "(none)" : t.switches[c].c_str());
        if (!v.ctx->active[c]) std::printf(", feeds no live bus");
        std::puts("");
    }
}

void PrintLevelEntries(const CheckView& v) {
    std::puts("Level entries:");
    ForEachStrip(v.tracks->count, [&](int slot) {
        if (int n = v.faders->count[size_t(slot)]) std::printf("  %s: %d\n", SlotName(slot).c_str(), n);
    });
    for (int n = 1; n < kVcas; ++n)
        if (int c = v.vcas->count[size_t(n)]) std::printf("  VCA %d: %d\n", n, c);
}

void PrintRouting(const CheckView& v) {
    const Routing& r = *v.routing;
    std::puts("Routing:");
    for (int bus = 0; bus < kBuses; ++bus) {
        std::vector<int> feeders;
        for (int ch = 1; ch <= v.tracks->count; ++ch)
            if (r.route[ch][bus] == 1) feeders.push_back(ch);
        if (bus > 0 && feeders.empty() && r.busActive[size_t(bus)] == 0) continue;
        std::printf("  %s: %s%s\n", bus == 0 ? "master (direct)" : SlotName(kSubmixBase + bus).c_str(),
                    feeders.empty() ? "no channels" : JoinSlots(feeders).c_str(),
                    r.busActive[size_t(bus)] ? "" : " (not live)");
    }
    for (int n = 1; n < kVcas; ++n) {
        if (r.vcaActive[size_t(n)] != 1) continue;
        std::vector<int> members;
        for (int slot = 0; slot < kSlots; ++slot)
            if (r.vcaMember[size_t(slot)] == n) members.push_back(slot);
        std::printf("  VCA %d: %s\n", n, members.empty() ? "no members" : JoinSlots(members).c_str());
    }
}

void PrintEffects(const CheckView& v) {
    const EffectSettings& fx = *v.fx;
    std::puts("Effects in run order:");
    ForEachStrip(v.tracks->count, [&](int slot) {
        std::vector<std::pair<int, int>> runs;  // position, effect
        std::string never;
        for (int e = 0; e < kChainEffects; ++e) {
            if (!EffectEnabled(fx, e, slot)) continue;
            const int pos = fx.position[e][slot];
            if (pos >= kFirstPosition && pos <= kLastPosition)
                runs.emplace_back(pos, e);
            else
                never += std::string(never.empty() ? "" : ", ") + std::string(ChainEffectName(e)) +
                         " (position " + std::to_string(pos) + ": never runs)";
        }
        if (runs.empty() && never.empty()) return;
        std::stable_sort(runs.begin(), runs.end());
        std::string list;
        for (const auto& r : runs) list += (list.empty() ? "" : ", ") + std::string(ChainEffectName(r.second));
        if (!never.empty()) list += (list.empty() ? "" : ", ") + never;
        std::printf("  %s: %s\n", SlotName(slot).c_str(), list.c_str());
    });
}

void PrintReverbs(const CheckView& v) {
    const EffectSettings& fx = *v.fx;
    const ReverbSettings& rv = fx.reverb;
    std::puts("Reverbs:");
    auto sends = [&](const int* on, const float* level) {
        std::string s;
        ForEachStrip(v.tracks->count, [&](int slot) {
            if (slot < kFxSlots && on[slot])
                s += (s.empty() ? "" : ", ") + SlotName(slot) + " (" + Decibels(level[slot]) + ")";
        });
        return s.empty() ? std::string("none") : s;
    };
    if (rv.roomActive)
        std::printf("  room reverb: return %s, room size %g; sends from %s\n",
                    Decibels(rv.roomInput).c_str(), double(rv.roomSize),
                    sends(fx.revOn, fx.revLevel).c_str());
    else
        std::puts("  room reverb: off");
    if (rv.tapActive)
        std::printf("  tap reverb: return %s, room size %g, %d taps; sends from %s\n",
                    Decibels(rv.tapInput).c_str(), double(rv.tapSize), rv.tapCount,
                    sends(fx.trevOn, fx.trevLevel).c_str());
    else
        std::puts("  tap reverb: off");
    if (!rv.roomActive && !rv.tapActive) return;
    std::printf("  position %g %g %g, width %g", double(rv.posX), double(rv.posY), double(rv.posZ),
                double(rv.width));
    if (rv.rhpOn) std::printf(", high pass %g Hz", rv.rhpFreq);
    if (rv.rlpOn) std::printf(", low pass %g Hz", rv.rlpFreq);
    if (rv.tapMode) std::printf(", tap file %s", rv.tapFileName.c_str());
    std::puts("");
}

}  // namespace

std::string SlotName(int slot) {
    if (slot == 0) return "master";
    if (slot <= kMaxChannels) return "channel " + std::to_string(slot);
    if (slot <= kSubmixBase + 8) return "submix " + std::to_string(slot - kSubmixBase);
    return "slot " + std::to_string(slot);
}

void PrintCheckSummary(const CheckView& v) {
    const Prefs& p = *v.prefs;
    const uint32_t rate = v.ctx->rate;
    std::printf("Mix name: %s\n", p.mixName.c_str());
    std::printf("Output file: %s (%s, %u Hz)\n", p.outputName.c_str(),
                Format(p.outBits, p.mono ? 1 : 2).c_str(), rate);
    PrintChannels(v);
    PrintLevelEntries(v);
    PrintRouting(v);
    PrintEffects(v);
    PrintReverbs(v);
    std::printf("Mix window: %.3f s to %.3f s, %lld frames\n", Seconds(v.window.start, rate),
                Seconds(v.window.start + v.window.length, rate), (long long)v.window.length);
    if (p.lufsSet)
        std::printf("Loudness target: %.1f LUFS under a true-peak ceiling of %.1f dBTP (measured "
                    "first, then mixed again at the gain that reaches it)\n",
                    p.lufs, p.tpmax);
    std::printf("Threads: %d\n", v.threads);
}

void PrintWarningList(const Diagnostics& d) {
    for (const Warning& w : d.warnings) std::puts(w.text.c_str());
    std::puts(WarningCountLine(d.count).c_str());
}

}  // namespace varnel
