#include "mixer/utilities/text/param_reader.hpp"

#include <cstdint>

#include "mixer/utilities/text/numbers.hpp"
#include "mixer/utilities/fader_script/order_lines.hpp"
#include "mixer/utilities/text/keyword_line.hpp"
#include "mixer/utilities/text/value_checks.hpp"

namespace varnel {

void ParamsFromBuffer(const ScanText& text, std::string_view keyword, ParamTable& table,
                      int count, int& masterFlag, int& anyMasterFlag, ParamLines* lines) {
    for (auto& row : table) row.fill(0.0);
    if (lines) lines->fill(0);
    if (count < 2) count = 2;
    if (count > kParamRow) count = kParamRow;

    ScanKeywords(
        text,
        [&](std::string_view tok, size_t at) {
            return tok == keyword && !IsOrderEffectField(text.content, at);
        },
        [&](KeywordLine& k) {
            if (NoValue(k, count - 1)) return true;
            std::string_view designator;
            NextField(k, kTabDelim, designator);
            int slot = 0;
            if (designator == "G") {
                slot = kSubmixBase;
                NextField(k, kTabDelim, designator);
            }
            if (designator == "M") {
                masterFlag = 1;
                anyMasterFlag = 1;
                slot = 0;
            } else {
                const int number = designator.empty() ? 0 : IntegerOf(k, designator);
                if (number != 0) {
                    int64_t sum = int64_t(slot) + number;  // stays out of range, never wraps
                    slot = sum > INT32_MAX ? INT32_MAX : int(sum);
                }
                if (ClampSlot(slot))
                    LineMessage(text, k.line, ">>Channel number out of range or not specified!\n");
            }

            auto& row = table[size_t(slot)];
            row[0] = 1.0;
            for (int i = 1; i <= count - 2; ++i) row[size_t(i)] = DecimalField(k, kTabDelim);
            row[size_t(count - 1)] = DecimalField(k, kLineDelim);
            if (lines) (*lines)[size_t(slot)] = k.line;
            return true;
        });
}

}  // namespace varnel
