#include "mixer/stringout/json_writer.hpp"

#include <cmath>

#include <gtest/gtest.h>

using namespace varnel;

TEST(JsonWriter, EscapesEveryStringItMustAndKeepsUtf8) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"plain", "\"plain\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"\t\n\r\b\f", "\"\\t\\n\\r\\b\\f\""},
        {std::string("\x01\x1f\x7f", 3), "\"\\u0001\\u001f\\u007f\""},
        {std::string(1, '\0'), "\"\\u0000\""},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xb5", "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xb5\""},
        // Not UTF-8: a Latin-1 byte, a cut sequence, an overlong form, a surrogate.
        {"caf\xe9", "\"caf\\u00e9\""},
        {"\xe2\x82", "\"\\u00e2\\u0082\""},
        {"\xc0\xaf", "\"\\u00c0\\u00af\""},
        {"\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""},
    };
    for (const auto& c : cases) EXPECT_EQ(JsonQuoted(c.in), c.out) << c.in;
}

TEST(JsonWriter, NestedLayoutAndNumbers) {
    JsonWriter w;
    JsonBeginObject(w);
    JsonKey(w, "version");
    JsonInteger(w, 1);
    JsonKey(w, "db");
    JsonNumber(w, -6.0206, 2);
    JsonKey(w, "silence");
    JsonNumber(w, -144.0, 2);
    JsonKey(w, "none");
    JsonNumber(w, -INFINITY, 1);
    JsonKey(w, "list");
    JsonBeginArray(w);
    JsonBool(w, true);
    JsonNull(w);
    JsonBeginObject(w);
    JsonEnd(w);
    JsonBeginArray(w);
    JsonEnd(w);
    JsonString(w, "x");
    JsonEnd(w);
    JsonEnd(w);
    EXPECT_EQ(w.text,
              "{\n"
              "  \"version\": 1,\n"
              "  \"db\": -6.02,\n"
              "  \"silence\": -144.00,\n"
              "  \"none\": null,\n"
              "  \"list\": [\n"
              "    true,\n"
              "    null,\n"
              "    {},\n"
              "    [],\n"
              "    \"x\"\n"
              "  ]\n"
              "}\n");
}
