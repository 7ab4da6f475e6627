#include "mixer/stringout/json_writer.hpp"

#include <cmath>
#include <cstdio>

namespace varnel {

namespace {

void NewLine(JsonWriter& w) {
    w.text += '\n';
    w.text.append(2 * w.open.size(), ' ');
}

// Where a value starts: after its key, or on a line of its own after the
// separator from the member before it.
void BeforeValue(JsonWriter& w) {
    if (w.afterKey) {
        w.afterKey = false;
        return;
    }
    if (w.open.empty()) return;
    if (w.open.back().hasMember) w.text += ',';
    w.open.back().hasMember = true;
    NewLine(w);
}

void Begin(JsonWriter& w, char open, char close) {
    BeforeValue(w);
    w.text += open;
    w.open.push_back({close, false});
}

// The length of the valid UTF-8 sequence at s[i] (2 to 4), or 0.
size_t Utf8SequenceAt(std::string_view s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned lead = byte(i);
    size_t length = 0;
    unsigned low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    }
    if (length == 0 || i + length > s.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    return length;
}

void AppendEscape(std::string& out, unsigned char c) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\u%04x", unsigned(c));
    out += hex;
}

}  // namespace

std::string JsonQuoted(std::string_view s) {
    std::string out = "\"";
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20 || u == 0x7F) {
                AppendEscape(out, u);
            } else if (u < 0x80) {
                out += c;
            } else if (const size_t n = Utf8SequenceAt(s, i)) {
                out.append(s.substr(i, n));
                i += n - 1;
            } else {
                AppendEscape(out, u);  // not UTF-8: the byte read as Latin-1
            }
        }
    }
    return out + '"';
}

void JsonBeginObject(JsonWriter& w) { Begin(w, '{', '}'); }

void JsonBeginArray(JsonWriter& w) { Begin(w, '[', ']'); }

void JsonEnd(JsonWriter& w) {
    if (w.open.empty()) return;
    const JsonWriter::Level level = w.open.back();
    w.open.pop_back();
    if (level.hasMember) NewLine(w);
    w.text += level.close;
    if (w.open.empty()) w.text += '\n';
}

void JsonKey(JsonWriter& w, std::string_view key) {
    BeforeValue(w);
    w.text += JsonQuoted(key);
    w.text += ": ";
    w.afterKey = true;
}

void JsonString(JsonWriter& w, std::string_view value) {
    BeforeValue(w);
    w.text += JsonQuoted(value);
}

void JsonInteger(JsonWriter& w, int64_t value) {
    BeforeValue(w);
    w.text += std::to_string(value);
}

void JsonNumber(JsonWriter& w, double value, int decimals) {
    if (!std::isfinite(value)) {
        JsonNull(w);
        return;
    }
    BeforeValue(w);
    char number[400];
    std::snprintf(number, sizeof number, "%.*f", decimals, value);
    w.text += number;
}

void JsonBool(JsonWriter& w, bool value) {
    BeforeValue(w);
    w.text += value ? "true" : "false";
}

void JsonNull(JsonWriter& w) {
    BeforeValue(w);
    w.text += "null";
}

}  // namespace varnel
