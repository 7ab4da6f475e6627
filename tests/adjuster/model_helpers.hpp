// Small helpers shared by the adjuster's unit tests.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "adjuster/console.hpp"
#include "adjuster/fader_model.hpp"
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

// A model parsed from `text` with `timeFields`; parse messages land in `messages`.
inline std::unique_ptr<ostrand::FaderModel> Parse(const std::string& text, int timeFields,
                                                  std::string* messages = nullptr) {
    auto model = std::make_unique<ostrand::FaderModel>();
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    std::FILE* out = std::tmpfile();
    ostrand::ParseBuffer(buffer.data(), model->times, model->levels, model->ramps, model->counts,
                         timeFields, model->header, out);
    std::string written = Drain(out);
    std::fclose(out);
    if (messages != nullptr) *messages = written;
    return model;
}

// A console reading `input` and writing to a temporary stream.
struct ScriptedConsole {
    explicit ScriptedConsole(const std::string& input)
        : console{std::tmpfile(), std::tmpfile()} {
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
