#include "mixer/utilities/metering/master_rms.hpp"

#include "mixer/utilities/hot_loop.hpp"

#include <cmath>

namespace varnel {

namespace {

void MeterSample(int32_t sample, int divisor, float minWindow, int& oldpolar, int& newpolar,
                 float& squares, float& interval, float& windows, float& sum) {
    newpolar = sample < 0 ? -1 : 1;
    const int32_t v = sample / divisor;
    squares = static_cast<float>(squares + static_cast<double>(v) * v);
    interval = interval + 1.0f;
    if (newpolar != oldpolar && interval > minWindow) {
        sum = sum + std::sqrt(squares / interval);
        windows = windows + 1.0f;
        squares = 0.0f;
        interval = 0.0f;
    }
    oldpolar = newpolar;
}

}  // namespace

namespace {

VARNEL_KERNEL void MasterRMSBody(MasterRmsState& st, int& firstUse, const int32_t* left,
                                 const int32_t* right, float& windowsL, float& windowsR,
                                 float& sumL, float& sumR, float minWindow, int divisor, int n) {
    if (firstUse == 0) {
        st = MasterRmsState{};
        windowsL = windowsR = sumL = sumR = 0.0f;
        firstUse = 1;
    }
    if (right == nullptr) right = left;
    if (divisor < 1) divisor = 1;
    for (int i = 0; i < n; ++i) {
        MeterSample(left[i], divisor, minWindow, st.oldpolarL, st.newpolarL, st.squaresL,
                    st.intervalL, windowsL, sumL);
        MeterSample(right[i], divisor, minWindow, st.oldpolarR, st.newpolarR, st.squaresR,
                    st.intervalR, windowsR, sumR);
    }
}
VARNEL_BUILD_TWICE(MasterRMSBody)

}  // namespace

void MasterRMS(MasterRmsState& st, int& firstUse, const int32_t* left, const int32_t* right,
               float& windowsL, float& windowsR, float& sumL, float& sumR, float minWindow,
               int divisor, int n) {
    VARNEL_RUN(Kernel::kBest, MasterRMSBody, st, firstUse, left, right, windowsL, windowsR, sumL,
               sumR, minWindow, divisor, n);
}

}  // namespace varnel
