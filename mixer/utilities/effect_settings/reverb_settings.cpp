#include "mixer/utilities/effect_settings/reverb_settings.hpp"

#include <cmath>
#include <cstdio>

#include "mixer/utilities/text/numbers.hpp"
#include "mixer/utilities/text/keyword_line.hpp"
#include "mixer/utilities/text/value_checks.hpp"

namespace varnel {

double LevelToGain(double level, bool percentMode) {
    if (percentMode) {
        ClampSendLevel(level, true);
        return level / 100.0;
    }
    ClampSendLevel(level, false);
    return std::pow(10.0, level / 20.0);
}

namespace {

float UnitRange(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// Reads the next tab field, or the rest of the line when `lastOnLine`.
bool NextValue(KeywordLine& k, bool lastOnLine, std::string_view& value) {
    return NextField(k, lastOnLine ? kLineDelim : kTabDelim, value);
}

void ReadFilterLines(const ScanText& src, const char* keyword, double low, double high,
                     double rate, const char* name, int& on, double& freq) {
    ScanKeyword(src, keyword, [&](KeywordLine& k) {
        std::string_view v;
        if (!NextValue(k, true, v)) return true;  // no frequency: the filter stays as it was
        double f = DecimalOf(k, v);
        char text[64];
        auto reset = [&](double to) {
            f = to;
            std::snprintf(text, sizeof text, "Resetting reverb %s to %g Hz\n", name, to);
            LineMessage(src, k.line, text);
        };
        if (f > high) reset(high);
        if (f < low) reset(low);
        double top = rate * kMaxDesignFraction;
        if (f > top) reset(top);
        on = 1;
        freq = f;
        return true;
    });
}

}  // namespace

void ReadReturnLines(const ScanText& src, bool percentMode, ReverbSettings& rv) {
    // A missing level sets nothing; a missing size or tap count keeps its value.
    ScanKeyword(src, "rtn", [&](KeywordLine& k) {
        if (NoValue(k, 2)) return true;
        std::string_view level, size;
        const bool given = NextValue(k, false, level);
        const bool sized = NextValue(k, true, size);
        if (!given) return true;
        rv.roomWanted = 1;
        rv.roomInput = float(LevelToGain(DecimalOf(k, level), percentMode));
        if (sized) rv.roomSize = float(DecimalOf(k, size));
        return true;
    });
    rv.roomInput = UnitRange(rv.roomInput);

    ScanKeyword(src, "trtn", [&](KeywordLine& k) {
        if (NoValue(k, 3)) return true;
        std::string_view level, size, taps;
        const bool given = NextValue(k, false, level);
        const bool sized = NextValue(k, false, size);
        const bool counted = NextValue(k, true, taps);
        if (!given) return true;
        rv.tapWanted = 1;
        rv.tapInput = float(LevelToGain(DecimalOf(k, level), percentMode));
        if (sized) rv.tapSize = float(DecimalOf(k, size));
        if (counted) rv.tapCount = IntegerOf(k, taps);
        return true;
    });
    rv.tapInput = UnitRange(rv.tapInput);
}

void ReadReverbPlacement(const ScanText& src, ReverbSettings& rv) {
    ScanKeyword(src, "pos", [&](KeywordLine& k) {
        if (NoValue(k, 3)) return true;
        float* coords[3] = {&rv.posX, &rv.posY, &rv.posZ};
        std::string_view v;
        for (int i = 0; i < 3; ++i) {
            if (!NextValue(k, i == 2, v)) continue;  // a missing coordinate keeps its value
            float p = float(DecimalOf(k, v));
            ClampPercent(p);
            *coords[i] = p;
        }
        return true;
    });
    ScanKeyword(src, "width", [&](KeywordLine& k) {
        std::string_view v;
        if (NextValue(k, true, v)) rv.width = float(DecimalOf(k, v));
        return true;
    });
}

void ReadReverbFilters(const ScanText& src, double rate, ReverbSettings& rv) {
    ReadFilterLines(src, "rhp", 20.0, 12000.0, rate, "high pass", rv.rhpOn, rv.rhpFreq);
    if (rv.rhpOn) rv.rhp = ReverbHighPass(rv.rhpFreq, rate);
    ReadFilterLines(src, "rlp", 500.0, 16000.0, rate, "low pass", rv.rlpOn, rv.rlpFreq);
    if (rv.rlpOn) rv.rlp = ReverbLowPass(rv.rlpFreq, rate);
}

void ReadTapPreference(const ScanText& prefs, bool mixDirSet, const std::string& mixDir,
                       ReverbSettings& rv) {
    ScanKeyword(prefs, "tap", [&](KeywordLine& k) {
        std::string_view v;
        if (!NextValue(k, true, v)) return true;
        if (v == "rev") rv.tapMode = 1;
        else if (v == "rtn") rv.tapMode = 2;
        return true;
    });
    if (rv.tapMode == 0) return;
    std::string base = rv.tapMode == 1 ? "revTap.wav" : "rtnTap.wav";
    rv.tapFileName = mixDirSet ? mixDir + base : base;
}

}  // namespace varnel
