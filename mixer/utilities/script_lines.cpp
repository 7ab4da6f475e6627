#include "mixer/utilities/script_lines.hpp"

#include <algorithm>
#include <cstdio>

#include "mixer/utilities/limits.hpp"
#include "mixer/utilities/numbers.hpp"

namespace varnel {

void checkValI(int& slot) {
    if (unsigned(slot) > 135u) {
        slot = 135;
        std::puts(">>Channel number out of range or not specified!");
    }
}

bool ReadFaderDesignator(Tokenizer& t, int& slot, bool& isMaster) {
    isMaster = false;
    std::string_view d;
    if (!NextToken(t, kTabDelim, d)) return false;
    long long s = 0;
    if (d == "G") {
        s = kSubmixBase;
        if (!NextToken(t, kTabDelim, d)) return false;
    }
    if (d == "M") {
        isMaster = true;
        slot = 0;
        return true;
    }
    s += ReadInteger(d);
    slot = int(std::clamp<long long>(s, -1, 1000));
    checkValI(slot);
    return true;
}

int LineOfPosition(std::string_view content, size_t pos) {
    pos = std::min(pos, content.size());
    return 1 + int(std::count(content.begin(), content.begin() + long(pos), '\n'));
}

bool ReadDecimalValue(Tokenizer& t, const char* delims, double& out) {
    std::string_view v;
    if (!NextToken(t, delims, v)) return false;
    out = ReadDecimal(v);
    return true;
}

bool ReadIntegerValue(Tokenizer& t, const char* delims, int& out) {
    std::string_view v;
    if (!NextToken(t, delims, v)) return false;
    out = ReadInteger(v);
    return true;
}

}  // namespace varnel
