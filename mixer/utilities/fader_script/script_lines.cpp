#include "mixer/utilities/fader_script/script_lines.hpp"

#include <algorithm>

#include "mixer/utilities/limits.hpp"
#include "mixer/utilities/text/value_checks.hpp"

namespace varnel {

void CheckSlot(KeywordLine& k, int& slot) {
    if (ClampSlot(slot)) LineMessage(*k.src, k.line, ">>Channel number out of range or not specified!\n");
}

void ReadFaderDesignator(KeywordLine& k, int& slot, bool& isMaster) {
    isMaster = false;
    std::string_view d;
    long long s = 0;
    if (NextField(k, kTabDelim, d) && d == "G") {
        s = kSubmixBase;
        NextField(k, kTabDelim, d);
    }
    if (d == "M") {
        isMaster = true;
        slot = 0;
        return;
    }
    if (!d.empty()) s += IntegerOf(k, d);
    slot = int(std::clamp<long long>(s, -1, 1000));
    CheckSlot(k, slot);
}

}  // namespace varnel
