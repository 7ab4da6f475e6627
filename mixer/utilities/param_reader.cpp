#include "mixer/utilities/param_reader.hpp"

#include <cstdint>

#include "mixer/utilities/numbers.hpp"
#include "mixer/utilities/order_lines.hpp"
#include "mixer/utilities/text_scan.hpp"
#include "mixer/utilities/value_checks.hpp"

namespace varnel {

void ParamsFromBuffer(std::string_view text, std::string_view keyword, ParamTable& table,
                      int count, int& masterFlag, int& anyMasterFlag) {
    for (auto& row : table) row.fill(0.0);
    if (count < 2) count = 2;
    if (count > kParamRow) count = kParamRow;

    Tokenizer t{text, 0};
    std::string_view tok;
    while (NextToken(t, kFieldDelims, tok)) {
        if (tok == "end") return;
        if (tok != keyword) continue;
        if (IsOrderEffectField(text, size_t(tok.data() - text.data()))) continue;

        std::string_view designator;
        if (!NextToken(t, kTabDelim, designator)) return;  // keyword without a value
        int slot = 0;
        if (designator == "G") {
            slot = kSubmixBase;
            if (!NextToken(t, kTabDelim, designator)) return;
        }
        int number = ReadInteger(designator);
        if (number != 0) {
            int64_t sum = int64_t(slot) + number;  // stays out of range, never wraps
            slot = sum > INT32_MAX ? INT32_MAX : int(sum);
        }
        if (designator == "M") {
            masterFlag = 1;
            anyMasterFlag = 1;
            slot = 0;
        } else {
            checkValI(slot, 1);
        }

        auto& row = table[size_t(slot)];
        row[0] = 1.0;
        std::string_view value;
        for (int i = 1; i <= count - 2; ++i)
            row[size_t(i)] = NextToken(t, kTabDelim, value) ? ReadDecimal(value) : 0.0;
        row[size_t(count - 1)] = NextToken(t, kLineDelim, value) ? ReadDecimal(value) : 0.0;
    }
}

}  // namespace varnel
