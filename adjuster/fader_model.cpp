#include "adjuster/fader_model.hpp"

#include <cfloat>
#include <cmath>

namespace ostrand {

float StoreFloat(double value) {
    if (std::isnan(value)) return 0.0f;
    if (value > FLT_MAX) return FLT_MAX;
    if (value < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(value);
}

std::string SlotLabel(int slot) {
    if (slot == kMasterSlot) return "M";
    if (slot >= kFirstSubmixSlot) {
        std::string label = std::to_string(slot - kMasterSlot);
        label.insert(label.begin(), 'G');
        return label;
    }
    return std::to_string(slot);
}

}  // namespace ostrand
