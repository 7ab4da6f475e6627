// The gains of every step of a compressor's attack and release, computed once
// per law instead of a sine per frame. The values are the gain law's own
// (AttackGain, ReleaseGain), so a table lookup changes no result.
#pragma once

#include <cstddef>
#include <vector>

#include "mixer/effects/gain_ramp.hpp"

namespace varnel {

// Tables are shared by every slot with the same law. Fades longer than
// kMaxFadeTable steps, and laws found once kMaxFadeEntries are in use, are
// computed step by step as before, so memory stays bounded.
constexpr int kMaxFadeTable = 1 << 18;
constexpr size_t kMaxFadeEntries = size_t(1) << 21;

struct FadeTable {
    int span = 0;
    double ratio = 0.0;
    bool release = false;
    std::vector<double> gain;   // gain[k] for steps 0..span
};

struct FadeTables {
    std::vector<FadeTable> tables;
    size_t entries = 0;
    bool frozen = false;   // no table is added any more: lookups only, so
                           // several threads may look up at once
};

// The gains of an attack (release false) or release of `span` steps (at
// least 1) at `ratio` (at least 1), or nullptr where no table is kept (nor,
// once the tables are frozen, added). The
// pointer stays valid while `t` lives: adding a table moves the others'
// buffers, it does not copy them.
const double* FindFade(FadeTables& t, int span, double ratio, bool release);

}  // namespace varnel
