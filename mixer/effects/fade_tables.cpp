#include "mixer/effects/fade_tables.hpp"

namespace varnel {

const double* FindFade(FadeTables& t, int span, double ratio, bool release) {
    for (const FadeTable& f : t.tables)
        if (f.span == span && f.ratio == ratio && f.release == release) return f.gain.data();
    if (t.frozen || span < 1 || span > kMaxFadeTable || t.entries + size_t(span) + 1 > kMaxFadeEntries)
        return nullptr;
    FadeTable f;
    f.span = span;
    f.ratio = ratio;
    f.release = release;
    f.gain.resize(size_t(span) + 1);
    for (int k = 0; k <= span; ++k)
        f.gain[size_t(k)] = release ? ReleaseGain(k, span, ratio) : AttackGain(k, span, ratio);
    t.entries += f.gain.size();
    t.tables.push_back(std::move(f));
    return t.tables.back().gain.data();
}

}  // namespace varnel
