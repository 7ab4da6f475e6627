#include "mixer/utilities/fader_script/routing.hpp"

#include <cstdio>

#include "mixer/utilities/text/keyword_line.hpp"

namespace varnel {

namespace {

template <class OnItem>
void ForEachListItem(std::string_view list, const ScanText& src, int line, OnItem onItem) {
    KeywordLine k;  // for the number checks of the items
    k.src = &src;
    k.line = line;
    Tokenizer t{list, 0};
    std::string_view item;
    while (NextToken(t, ",", item)) onItem(IntegerOf(k, item));
}

// Reads "keyword number list" lines: numbers in [lo, hi] make the list the
// group's member list; others are reported and ignored.
template <size_t N>
void ReadGroupLines(const ScanText& src, const char* keyword, int lo, int hi,
                    const char* rangeMessage, std::array<int, N>& activeFlags,
                    std::array<std::string, N>& lists, std::array<int, N>& lines) {
    ScanKeyword(src, keyword, [&](KeywordLine& k) {
        if (NoValue(k, 2)) return true;
        std::string_view number, list;
        NextField(k, kTabDelim, number);
        NextField(k, kLineDelim, list);
        const int n = IntegerOf(k, number);
        if (n < lo || n > hi) {
            LineMessage(src, k.line, rangeMessage);
            return true;
        }
        activeFlags[size_t(n)] = 1;
        lists[size_t(n)] = std::string(list);
        lines[size_t(n)] = k.line;
        return true;
    });
}

}  // namespace

void RouteChannel(std::string_view list, int submix, int (*route)[kBuses], const ScanText& src,
                  int line) {
    ForEachListItem(list, src, line, [&](int ch) {
        if (ch >= 1 && ch <= kMaxChannels) {
            route[ch][submix] = 1;
        } else {
            char text[64];
            std::snprintf(text, sizeof text, "Channel assigned to sub %i is out of range!\n", submix);
            LineMessage(src, line, text);
        }
    });
}

void RouteVCA(std::string_view list, int vca, int* membership, const ScanText& src, int line) {
    ForEachListItem(list, src, line, [&](int slot) {
        if (slot >= 0 && slot < kSlots) {
            membership[slot] = vca;
        } else {
            char text[64];
            std::snprintf(text, sizeof text, "Channel assigned to VCA %i is out of range!\n", vca);
            LineMessage(src, line, text);
        }
    });
}

void CheckFeederMutes(const int* busActive, const int (*route)[kBuses], int* active, int buses,
                      int channelsPlusOne) {
    for (int ch = 1; ch < channelsPlusOne && ch < kChannelTable; ++ch) {
        bool fed = false;
        for (int k = 0; k < buses; ++k)
            if (busActive[k] == 1 && route[ch][k] == 1) fed = true;
        if (!fed) active[ch] = 0;
    }
}

int RoutingPass(const ScanText& src, ScriptContext& ctx, Routing& r) {
    ReadGroupLines(src, "sub", 0, 8, "Submix number out of range!\n", r.busActive, r.subList,
                   r.subLine);
    for (int n = 0; n < kBuses; ++n)
        if (r.busActive[size_t(n)] == 1)
            RouteChannel(r.subList[size_t(n)], n, r.route, src, r.subLine[size_t(n)]);
    // Unassigned channels feed the master directly.
    for (int ch = 0; ch < kChannelTable; ++ch) {
        bool any = false;
        for (int k = 0; k < kBuses; ++k) any = any || r.route[ch][k] != 0;
        if (!any) r.route[ch][0] = 1;
    }
    r.busActive[0] = 1;
    auto readSubmixFlag = [&](const char* keyword, std::array<int, kBuses>& flags, int value) {
        ScanKeyword(src, keyword, [&](KeywordLine& k) {
            std::string_view number;
            if (!NextField(k, kFieldDelims, number)) return true;
            const int n = IntegerOf(k, number);
            if (n >= 1 && n <= 8) flags[size_t(n)] = value;
            return true;
        });
    };
    readSubmixFlag("submu", r.busActive, 0);
    readSubmixFlag("subso", r.solo, 1);
    bool anySolo = false;
    for (int k = 1; k < kBuses; ++k) anySolo = anySolo || r.solo[size_t(k)] == 1;
    if (anySolo)
        for (int k = 0; k < kBuses; ++k)
            if (r.solo[size_t(k)] != 1) r.busActive[size_t(k)] = 0;
    CheckFeederMutes(r.busActive.data(), r.route, ctx.active.data(), kBuses, ctx.trackCount + 1);
    r.nineBuses = false;
    for (int k = 1; k < kBuses; ++k) r.nineBuses = r.nineBuses || r.busActive[size_t(k)] == 1;
    return 0;
}

int VcaPass(const ScanText& src, Routing& r) {
    ReadGroupLines(src, "VCA:", 1, 8, "VCA fader out of range!\n", r.vcaActive, r.vcaList,
                   r.vcaLine);
    for (int n = 1; n < kVcas; ++n)
        if (r.vcaActive[size_t(n)] == 1)
            RouteVCA(r.vcaList[size_t(n)], n, r.vcaMember.data(), src, r.vcaLine[size_t(n)]);
    return 0;
}

bool AnyVcaActive(const Routing& r) {
    for (int n = 1; n < kVcas; ++n)
        if (r.vcaActive[size_t(n)] == 1) return true;
    return false;
}

}  // namespace varnel
