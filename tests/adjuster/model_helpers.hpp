// Small helpers shared by the adjuster's unit tests.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "adjuster/console.hpp"
#include "adjuster/fader_model.hpp"
#include "adjuster/formats.hpp"
#include "adjuster/parsing.hpp"

namespace adjustertest {

// Everything written to a temporary stream so far.
inline std::string Drain(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    return text;
}

// A model parsed from `text` with `timeFields`.
inline std::unique_ptr<ostrand::FaderModel> Parse(const std::string& text, int timeFields) {
    auto model = std::make_unique<ostrand::FaderModel>();
    ostrand::ParseBuffer(text, timeFields, *model);
    return model;
}

inline std::string ByChannels(const ostrand::FaderModel& m, int fields) {
    std::string text = "stale";
    ostrand::Format1(m, text, fields);
    return text;
}

inline std::string ByTimes(const ostrand::FaderModel& m, int fields) {
    std::string text = "stale";
    ostrand::Format2(m, text, fields);
    return text;
}

// The kept lines, joined.
inline std::string Leading(const ostrand::FaderModel& m) {
    std::string text;
    for (ostrand::TextSpan span : m.leading) text += ostrand::SpanText(m, span);
    return text;
}

// A console reading `input` and writing to a temporary stream.
struct ScriptedConsole {
    explicit ScriptedConsole(const std::string& input) : console{std::tmpfile(), std::tmpfile()} {
        std::fwrite(input.data(), 1, input.size(), console.in);
        std::rewind(console.in);
    }
    ~ScriptedConsole() {
        std::fclose(console.in);
        std::fclose(console.out);
    }
    ScriptedConsole(const ScriptedConsole&) = delete;
    ScriptedConsole& operator=(const ScriptedConsole&) = delete;
    std::string Output() { return Drain(console.out); }
    ostrand::Console console;
};

}  // namespace adjustertest
