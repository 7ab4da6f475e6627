// A small JSON writer for the machine-readable report: objects and arrays
// indented two spaces a level, strings escaped, numbers written as JSON
// numbers with a fixed number of decimals (never NaN or infinity).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

struct JsonWriter {
    struct Level {
        char close;      // '}' or ']'
        bool hasMember;  // a member was written
    };
    std::string text;
    std::vector<Level> open;  // the objects and arrays not yet closed, innermost last
    bool afterKey = false;    // the next value follows a key on its line
};

// A string's JSON form, with its quotes: '"' and '\' escaped, the control
// characters as \b \f \n \r \t or \u00XX, valid UTF-8 as it is, and any
// other byte from 0x80 as \u00XX (the byte read as Latin-1), so the text is
// always valid JSON in UTF-8.
std::string JsonQuoted(std::string_view s);

void JsonBeginObject(JsonWriter& w);
void JsonBeginArray(JsonWriter& w);
void JsonEnd(JsonWriter& w);  // closes the innermost object or array
void JsonKey(JsonWriter& w, std::string_view key);
void JsonString(JsonWriter& w, std::string_view value);
void JsonInteger(JsonWriter& w, int64_t value);
// `decimals` digits after the point, as printf's %.*f gives them; a value
// that is not finite is written as null.
void JsonNumber(JsonWriter& w, double value, int decimals);
void JsonBool(JsonWriter& w, bool value);
void JsonNull(JsonWriter& w);

}  // namespace varnel
