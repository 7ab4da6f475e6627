#include "adjuster/formats.hpp"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "adjuster/parsing.hpp"

namespace ostrand {

namespace {

// printf-style append that grows the text as needed.
__attribute__((format(printf, 2, 3))) void AppendF(std::string& text, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length > 0) {
        std::vector<char> piece(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(piece.data(), piece.size(), format, again);
        text.append(piece.data(), static_cast<std::size_t>(length));
    }
    va_end(again);
}

}  // namespace

void SplitMinutes(double time, double& minutes, double& seconds) {
    minutes = 0.0;
    seconds = time;
    if (!(time >= 60.0)) return;
    minutes = std::floor(time / 60.0);
    seconds = time - minutes * 60.0;
    // Guard the quotient's rounding so the seconds stay within [0, 60).
    if (seconds < 0.0) {
        minutes -= 1.0;
        seconds += 60.0;
    } else if (seconds >= 60.0) {
        minutes += 1.0;
        seconds -= 60.0;
    }
}

void AppendTimeLine(std::string& text, float time, int timeFields) {
    if (timeFields == kSecondsOnly) {
        AppendF(text, "\nt\t%.3f\n", static_cast<double>(time));
        return;
    }
    double minutes, seconds;
    SplitMinutes(time, minutes, seconds);
    if (timeFields == kMinutesSeconds) {
        AppendF(text, "\nt\t%.0f\t%.3f\n", minutes, seconds);
        return;
    }
    double whole = std::trunc(seconds);
    AppendF(text, "\nt\t%.0f\t%.0f\t%.0f\n", minutes, whole, (seconds - whole) * 1000.0);
}

void AppendLevelLines(std::string& text, int slot, float level, float ramp) {
    if (slot == kMasterSlot)
        AppendF(text, "v\tM\t%.2f\n", static_cast<double>(level));
    else if (slot >= kFirstSubmixSlot)
        AppendF(text, "v\tG\t%i\t%.2f\n", slot - kMasterSlot, static_cast<double>(level));
    else
        AppendF(text, "v\t%i\t%.2f\n", slot, static_cast<double>(level));
    if (ramp != 0.0f) AppendF(text, "rmp\t%.3f\n", static_cast<double>(ramp));
}

void Format1(const EntryTable& times, const EntryTable& levels, const EntryTable& ramps,
             const EntryCounts& counts, std::string& text, int timeFields,
             const std::string& header) {
    text.clear();
    AppendF(text, "%s\n\n", header.c_str());
    for (int slot = 0; slot < kSlotCount; ++slot) {
        for (int i = 0; i < counts[slot]; ++i) {
            AppendTimeLine(text, times[slot][i], timeFields);
            AppendLevelLines(text, slot, levels[slot][i], ramps[slot][i]);
            text += '\n';
        }
    }
}

void Format2(const EntryTable& times, const EntryTable& levels, const EntryTable& ramps,
             const EntryCounts& counts, std::string& text, int timeFields,
             const std::string& header) {
    text.clear();
    AppendF(text, "%s\n\n", header.c_str());
    // Start below every possible time, so no entry is left out.
    float w;
    bool more = ScanTimes(times, counts, -INFINITY, w);
    while (more) {
        AppendTimeLine(text, w, timeFields);
        for (int slot = 0; slot < kSlotCount; ++slot)
            for (int i = 0; i < counts[slot]; ++i)
                if (times[slot][i] == w) AppendLevelLines(text, slot, levels[slot][i], ramps[slot][i]);
        more = ScanTimes(times, counts, w, w);
    }
}

}  // namespace ostrand
