#include "adjuster/field_reading.hpp"

#include "adjuster/fader_model.hpp"

namespace ostrand {

std::string_view WithoutLineEnd(std::string_view rawLine) {
    if (!rawLine.empty() && rawLine.back() == '\n') rawLine.remove_suffix(1);
    if (!rawLine.empty() && rawLine.back() == '\r') rawLine.remove_suffix(1);
    return rawLine;
}

std::vector<std::string> LineFields(std::string_view line) {
    std::vector<std::string> fields;
    std::string field;
    for (char c : line) {
        if (c == ' ') continue;  // the mixer deletes every space before reading
        if (c == '\t') {
            if (!field.empty()) fields.push_back(std::move(field));
            field.clear();
        } else {
            field += c;
        }
    }
    if (!field.empty()) fields.push_back(std::move(field));
    return fields;
}

namespace {

struct KeywordName {
    const char* name;
    Keyword keyword;
};

constexpr KeywordName kKeywords[] = {
    {"end", Keyword::kEnd},      {"t", Keyword::kTime},      {"inc", Keyword::kInc},
    {"v", Keyword::kLevel},      {"vca", Keyword::kVca},     {"rmp", Keyword::kRamp},
    {"ofs", Keyword::kOffset},   {"shape", Keyword::kShape}, {"p", Keyword::kPan},
    {"pol", Keyword::kPolarity},
};

// The mixer's slots for the numbered designators: 0 master, 1..127 channels,
// 128..135 submixes.
constexpr int kMixerLastSlot = 135;
constexpr int kMixerSubmixBase = 127;

}  // namespace

Keyword FindKeyword(const std::vector<std::string>& fields, std::size_t& index) {
    for (index = 0; index < fields.size(); ++index)
        for (const KeywordName& k : kKeywords)
            if (fields[index] == k.name) return k.keyword;
    return Keyword::kNone;
}

std::string_view FieldAt(const std::vector<std::string>& fields, std::size_t index) {
    return index < fields.size() ? std::string_view(fields[index]) : std::string_view();
}

int DesignatorSlot(const std::vector<std::string>& fields, std::size_t index, std::size_t& used) {
    std::string_view designator = FieldAt(fields, index);
    used = 1;
    long long slot = 0;
    if (designator == "G") {
        slot = kMixerSubmixBase;
        designator = FieldAt(fields, index + 1);
        used = 2;
    }
    if (designator == "M") return kMasterSlot;
    slot += ReadInteger(designator);
    if (slot < 0 || slot > kMixerLastSlot) slot = kMixerLastSlot;
    if (slot > kMixerSubmixBase) return static_cast<int>(kMasterSlot + (slot - kMixerSubmixBase));
    return static_cast<int>(slot);
}

int VcaSlot(std::string_view field) {
    long number = ReadInteger(field);
    return kFirstVcaSlot + ((number >= 1 && number <= 8) ? static_cast<int>(number) : 0);
}

}  // namespace ostrand
