#include "mixer/utilities/text/value_checks.hpp"

#include <algorithm>
#include <cstdint>

#include "mixer/utilities/text/numbers.hpp"

namespace varnel {

namespace {

void Clamp(double& v, double lo, double hi) {
    if (v > hi) v = hi;
    if (v < lo) v = lo;
}

// A multiple of the sample rate as a whole number of samples.
int SampleLimit(double base, double factor) { return TruncToInt32(base * factor); }

}  // namespace

void ClampAttackSamples(int& value, double rate) {
    if (value < 1) value = 1;
    int top = SampleLimit(rate, 2.0);
    if (value > top) value = top;
}

void ClampReleaseSamples(int& value, double rate) {
    if (value <= 9) value = 10;
    int top = SampleLimit(rate, 5.0);
    if (value > top) value = top;
}

void ClampRatio(double& value) { Clamp(value, 1.0, 50.0); }

void ClampDesignFrequency(double& value, double rate) {
    if (value > rate / 2.0) value = rate / 2.0;
    if (value < 1.0) value = 1.0;
}

void ClampEqGain(double& value) { Clamp(value, -15.0, 15.0); }

void ClampEqQ(double& value) { Clamp(value, 0.01, 100.0); }

void ClampPercent(float& value) { value = std::clamp(value, 0.0f, 100.0f); }

bool ClampSlot(int& slot) {
    if (uint32_t(slot) <= 135u) return false;
    slot = 135;
    return true;
}

void ClampThreshold(double& value, bool percent) {
    if (percent) Clamp(value, 0.0, 100.0);
    else Clamp(value, -144.0, 0.0);
}

void ClampSendLevel(double& value, bool percent) {
    if (percent) Clamp(value, 0.0, 400.0);
    else Clamp(value, -144.0, 12.02);
}

}  // namespace varnel
