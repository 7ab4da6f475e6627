#include "adjuster/fader_model.hpp"

namespace ostrand {

std::string SlotLabel(int slot) {
    if (slot == kMasterSlot) return "M";
    std::string label;
    if (slot >= kFirstVcaSlot)
        label.append("VCA").append(std::to_string(slot - kFirstVcaSlot));
    else if (slot >= kFirstSubmixSlot)
        label.append("G").append(std::to_string(slot - kMasterSlot));
    else
        label = std::to_string(slot);
    return label;
}

int LevelEntryCount(const FaderModel& model, int slot) {
    int count = 0;
    for (const Entry& entry : model.rows[slot])
        if (IsLevelEntry(entry)) ++count;
    return count;
}

}  // namespace ostrand
