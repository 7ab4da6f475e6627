#include "mixer/utilities/routing.hpp"

#include <cstdio>

#include "mixer/utilities/numbers.hpp"
#include "mixer/utilities/script_lines.hpp"
#include "mixer/utilities/text_scan.hpp"

namespace varnel {

namespace {

template <class OnItem>
void ForEachListItem(std::string_view list, OnItem onItem) {
    Tokenizer t{list, 0};
    std::string_view item;
    while (NextToken(t, ",", item)) onItem(ReadInteger(item));
}

// Reads "keyword number list" lines: numbers in [lo, hi] make the list the
// group's member list; others are reported and ignored.
template <size_t N>
void ReadGroupLines(std::string_view content, const char* keyword, int lo, int hi,
                    const char* rangeMessage, std::array<int, N>& activeFlags,
                    std::array<std::string, N>& lists) {
    ScanKeyword(content, keyword, [&](Tokenizer& t) {
        int n = 0;
        std::string_view list;
        if (!ReadIntegerValue(t, kTabDelim, n)) return false;
        if (!NextToken(t, kLineDelim, list)) list = {};
        if (n < lo || n > hi) {
            std::puts(rangeMessage);
            return true;
        }
        activeFlags[size_t(n)] = 1;
        lists[size_t(n)] = std::string(list);
        return true;
    });
}

}  // namespace

void RouteChannel(std::string_view list, int submix, int (*route)[kBuses]) {
    ForEachListItem(list, [&](int ch) {
        if (ch >= 1 && ch <= kMaxChannels)
            route[ch][submix] = 1;
        else
            std::printf("Channel assigned to sub %i is out of range!\n", submix);
    });
}

void RouteVCA(std::string_view list, int vca, int* membership) {
    ForEachListItem(list, [&](int slot) {
        if (slot >= 0 && slot < kSlots)
            membership[slot] = vca;
        else
            std::printf("Channel assigned to VCA %i is out of range!\n", vca);
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

int RoutingPass(std::string_view content, ScriptContext& ctx, Routing& r) {
    ReadGroupLines(content, "sub", 0, 8, "Submix number out of range!", r.busActive, r.subList);
    for (int n = 0; n < kBuses; ++n)
        if (r.busActive[size_t(n)] == 1) RouteChannel(r.subList[size_t(n)], n, r.route);
    // Unassigned channels feed the master directly.
    for (int ch = 0; ch < kChannelTable; ++ch) {
        bool any = false;
        for (int k = 0; k < kBuses; ++k) any = any || r.route[ch][k] != 0;
        if (!any) r.route[ch][0] = 1;
    }
    r.busActive[0] = 1;
    auto readSubmixFlag = [&](const char* keyword, std::array<int, kBuses>& flags, int value) {
        ScanKeyword(content, keyword, [&](Tokenizer& t) {
            int n = 0;
            if (!ReadIntegerValue(t, kFieldDelims, n)) return false;
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

int VcaPass(std::string_view content, Routing& r) {
    ReadGroupLines(content, "VCA:", 1, 8, "VCA fader out of range!", r.vcaActive, r.vcaList);
    for (int n = 1; n < kVcas; ++n)
        if (r.vcaActive[size_t(n)] == 1) RouteVCA(r.vcaList[size_t(n)], n, r.vcaMember.data());
    return 0;
}

bool AnyVcaActive(const Routing& r) {
    for (int n = 1; n < kVcas; ++n)
        if (r.vcaActive[size_t(n)] == 1) return true;
    return false;
}

}  // namespace varnel
