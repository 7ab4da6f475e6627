#include "mixer/utilities/fader_script/fill_vca.hpp"

#include <cmath>

#include "mixer/utilities/fader_script/automation.hpp"
#include "mixer/utilities/text/numbers.hpp"

namespace varnel {

void FillVCA(int64_t blockStart, int n, int v, VcaTables& tables, Playback& playback,
             double* gain) {
    constexpr double kInvUnity = 1.0 / double(kLevelUnity);  // 2^-27
    FaderState& st = playback.vca[size_t(v)];
    const int saved = tables.savedCount[size_t(v)];
    double* curve = gain + size_t(v) * size_t(n);
    for (int i = 0; i < n; ++i) {
        StartDueEntries(st, tables.level.data(), tables.time.data(), tables.ramp.data(),
                        tables.shape.data(), saved, blockStart + i, v, kVcas);
        if (st.applied == st.target) {
            curve[i] = double(st.target) * kInvUnity;
            continue;
        }
        int r = st.position - 1;
        size_t ri = size_t(r < 0 ? 0 : r) * kVcas + size_t(v);
        int32_t rampLength = tables.ramp[ri];
        if (st.progress < rampLength) ++st.progress;
        double level;
        if (st.progress >= rampLength) {
            level = double(st.target);
        } else {
            const double dB = RampdB(st, st.progress, rampLength, tables.shape[ri]);
            level = std::pow(10.0, dB / 20.0) * double(kLevelUnity);
        }
        curve[i] = level * kInvUnity;
        st.applied = TruncToInt32(level);
    }
}

}  // namespace varnel
