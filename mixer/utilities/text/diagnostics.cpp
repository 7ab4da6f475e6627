#include "mixer/utilities/text/diagnostics.hpp"

#include <cstdio>

namespace varnel {

std::string OneLine(std::string_view message) {
    size_t b = message.find_first_not_of('\n');
    size_t e = message.find_last_not_of('\n');
    if (b == std::string_view::npos) return std::string();
    message = message.substr(b, e - b + 1);
    std::string out;
    out.reserve(message.size());
    for (size_t i = 0; i < message.size(); ++i) {
        if (message[i] != '\n') {
            out += message[i];
            continue;
        }
        while (!out.empty() && out.back() == ' ') out.pop_back();
        while (i + 1 < message.size() && (message[i + 1] == ' ' || message[i + 1] == '\n')) ++i;
        out += ' ';
    }
    return out;
}

void AddWarning(Diagnostics& d, std::string_view file, int line, std::string_view message,
                bool show) {
    const bool print = show && !d.deferPrinting;
    if (print) std::fwrite(message.data(), 1, message.size(), stdout);
    d.warnings.push_back(Warning{std::string(file), line, OneLine(message), print});
    d.count = int(d.warnings.size());
}

std::string WarningCountLine(int count) {
    return count == 1 ? std::string("1 warning") : std::to_string(count) + " warnings";
}

}  // namespace varnel
