#include "mixer/utilities/text/value_checks.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>

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

void checkValL(int& value, int code, double base) {
    if (code == 10) {
        if (value < 1) value = 1;
        int top = SampleLimit(base, 2.0);
        if (value > top) value = top;
    } else if (code == 11) {
        if (value <= 9) value = 10;
        int top = SampleLimit(base, 5.0);
        if (value > top) value = top;
    }
}

void checkValD(double& value, int code, double base) {
    switch (code) {
    case 12: Clamp(value, 1.0, 50.0); break;
    case 20:
        if (value > base / 2.0) value = base / 2.0;
        if (value < 1.0) value = 1.0;
        break;
    case 21: Clamp(value, -15.0, 15.0); break;
    case 22: Clamp(value, 0.01, 100.0); break;
    default: break;
    }
}

void checkValF(float& value, int code) {
    if (code == 100) value = std::clamp(value, 0.0f, 100.0f);
}

bool ClampSlot(int& slot) {
    if (uint32_t(slot) <= 135u) return false;
    slot = 135;
    return true;
}

void checkValI(int& value, int code) {
    if (code == 1 && ClampSlot(value)) std::puts(">>Channel number out of range or not specified!");
}

int CheckThresh(double& value, int code) {
    if (code == 0) Clamp(value, -144.0, 0.0);
    else if (code == 1) Clamp(value, 0.0, 100.0);
    else return 0;
    return 1;
}

int CheckSndRtn(double& value, int code) {
    if (code == 0) Clamp(value, -144.0, 12.02);
    else if (code == 1) Clamp(value, 0.0, 400.0);
    else return 0;
    return 1;
}

}  // namespace varnel
