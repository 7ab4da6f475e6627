#include "adjuster/number_text.hpp"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "adjuster/fader_model.hpp"
#include "adjuster/field_reading.hpp"
#include "adjuster/parsing.hpp"

namespace ostrand {

namespace {

constexpr int kMostDecimals = 17;
constexpr int kMostExtraTimeDecimals = 6;

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (length > 0) {
        std::vector<char> piece(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(piece.data(), piece.size(), format, again);
        text.assign(piece.data(), static_cast<std::size_t>(length));
    }
    va_end(again);
    return text;
}

bool ReadsBackAs(double back, double value, bool edited) {
    if (!edited) return back == value;
    return std::fabs(back - value) <= kEditedTolerance * std::max(1.0, std::fabs(value));
}

}  // namespace

std::string NumberText(double value, int decimals, bool edited) {
    std::string best;
    double bestError = INFINITY;
    for (int p = decimals; p <= kMostDecimals; ++p) {
        std::string text = Format("%.*f", p, value);
        double back = ReadDecimal(text);
        if (ReadsBackAs(back, value, edited)) return text;
        if (std::fabs(back - value) < bestError) {
            bestError = std::fabs(back - value);
            best = text;
        }
    }
    // Tiny values need an exponent; seventeen digits always read back.
    std::string text = Format("%.17g", value);
    return ReadsBackAs(ReadDecimal(text), value, edited) ? text : best;
}

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

std::string TimeFieldsText(double time, int timeFields, int extraDecimals) {
    if (timeFields == kSecondsOnly) return Format("%.*f", 3 + extraDecimals, time);
    double minutes, seconds;
    SplitMinutes(time, minutes, seconds);
    if (timeFields == kMinutesSeconds)
        return Format("%.0f\t%.*f", minutes, 3 + extraDecimals, seconds);
    double whole = std::trunc(seconds);
    return Format("%.0f\t%.0f\t%.*f", minutes, whole, extraDecimals, (seconds - whole) * 1000.0);
}

double TimeFieldsSeconds(const std::string& fields, int timeFields) {
    float values[3] = {0.0f, 0.0f, 0.0f};
    std::vector<std::string> split = LineFields(fields);
    for (std::size_t i = 0; i < 3; ++i)
        values[i] = static_cast<float>(ReadDecimal(FieldAt(split, i)));
    return ClockSeconds(values, timeFields);
}

std::string TimeFieldsFor(double time, int timeFields, bool edited) {
    std::string best;
    double bestError = INFINITY;
    for (int extra = 0; extra <= kMostExtraTimeDecimals; ++extra) {
        std::string text = TimeFieldsText(time, timeFields, extra);
        double back = TimeFieldsSeconds(text, timeFields);
        if (ReadsBackAs(back, time, edited)) return text;
        if (std::fabs(back - time) < bestError) {
            bestError = std::fabs(back - time);
            best = text;
        }
    }
    return best;
}

}  // namespace ostrand
