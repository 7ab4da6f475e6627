#include "mixer/utilities/fader_script/order_lines.hpp"

#include <vector>

#include "mixer/utilities/text/numbers.hpp"
#include "mixer/utilities/text/keyword_line.hpp"
#include "mixer/utilities/text/text_scan.hpp"

namespace varnel {

namespace {

constexpr std::string_view kNames[kChainEffects] = {
    "hp", "band1", "band2", "band3", "band4", "hshelf", "lshelf", "rms", "nlc", "comp", "lim"};

// Order-line fields are separated by tabs and colons.
std::vector<std::string_view> OrderFields(std::string_view line) {
    std::vector<std::string_view> fields;
    Tokenizer t{line, 0};
    std::string_view f;
    while (NextToken(t, "\t:", f)) fields.push_back(f);
    return fields;
}

bool IsOrderLine(const std::vector<std::string_view>& f) {
    return f.size() >= 2 && !f[0].empty() && f[0][0] == 'o' && ChainEffectIndex(f[1]) >= 0;
}

// The content up to the first field "end", as every keyword pass sees it.
std::string_view UpToEnd(const ScanText& src) {
    size_t end = src.content.size();
    size_t pos = 0, next = 0;
    std::string_view tok;
    while (NextScanField(src, next, pos, tok))
        if (tok == "end") {
            end = size_t(tok.data() - src.content.data());
            break;
        }
    return src.content.substr(0, end);
}

}  // namespace

std::string_view ChainEffectName(int effect) {
    return (effect >= 0 && effect < kChainEffects) ? kNames[effect] : std::string_view();
}

int ChainEffectIndex(std::string_view name) {
    for (int e = 0; e < kChainEffects; ++e)
        if (kNames[e] == name) return e;
    return -1;
}

bool IsOrderEffectField(std::string_view content, size_t offset) {
    if (offset >= content.size()) return false;
    size_t nl = content.substr(0, offset).rfind('\n');
    size_t start = nl == std::string_view::npos ? 0 : nl + 1;
    size_t end = content.find('\n', offset);
    if (end == std::string_view::npos) end = content.size();
    std::string_view line = content.substr(start, end - start);
    auto f = OrderFields(line);
    return IsOrderLine(f) && size_t(f[1].data() - content.data()) == offset;
}

bool IsOrderLineText(std::string_view line) { return IsOrderLine(OrderFields(line)); }

void ReadOrderLines(const ScanText& src, int (&position)[kChainEffects][kSlots]) {
    std::string_view text = UpToEnd(src);
    Tokenizer lines{text, 0};
    std::string_view line;
    while (NextToken(lines, kLineDelim, line)) {
        // An order line's first field begins with "o".
        const size_t first = line.find_first_not_of("\t:");
        if (first == std::string_view::npos || line[first] != 'o') continue;
        auto f = OrderFields(line);
        if (!IsOrderLine(f)) continue;
        // The fields after the first as one keyword line, for the warnings.
        KeywordLine k;
        k.src = &src;
        k.keyword = f[0];
        k.line = LineAt(src, size_t(line.data() - src.content.data()));
        const int effect = ChainEffectIndex(f[1]);
        const bool submix = f.size() >= 3 && f[2][0] == 'G';
        k.wanted = submix ? 4 : 3;
        k.present = int(f.size()) - 1;
        CheckFieldCount(k);
        if (f.size() < 3) continue;
        size_t posField = 3;
        long long slot;
        if (f[2][0] == 'M') {
            slot = 0;
        } else if (submix) {
            if (f.size() < 4) continue;
            slot = kSubmixBase + (long long)IntegerOf(k, f[3]);
            posField = 4;
        } else {
            slot = IntegerOf(k, f[2]);
        }
        if (f.size() <= posField) continue;
        const int value = IntegerOf(k, f[posField]);
        if (slot < 0 || slot >= kSlots) continue;
        position[effect][slot] = value;
    }
}

}  // namespace varnel
