#include "mixer/utilities/reverb_settings.hpp"

#include <cmath>
#include <cstdio>

#include "mixer/utilities/numbers.hpp"
#include "mixer/utilities/text_scan.hpp"
#include "mixer/utilities/value_checks.hpp"

namespace varnel {

double LevelToGain(double level, bool percentMode) {
    if (percentMode) {
        CheckSndRtn(level, 1);
        return level / 100.0;
    }
    CheckSndRtn(level, 0);
    return std::pow(10.0, level / 20.0);
}

namespace {

float UnitRange(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// Reads the next tab field, or the rest of the line when `lastOnLine`.
bool NextValue(Tokenizer& t, bool lastOnLine, std::string_view& value) {
    return NextToken(t, lastOnLine ? kLineDelim : kTabDelim, value);
}

void ReadFilterLines(std::string_view content, const char* keyword, double low, double high,
                     double rate, const char* name, int& on, double& freq) {
    ScanKeyword(content, keyword, [&](Tokenizer& t) {
        std::string_view v;
        if (!NextValue(t, true, v)) return false;
        double f = ReadDecimal(v);
        if (f > high) {
            f = high;
            std::printf("Resetting reverb %s to %g Hz\n", name, high);
        }
        if (f < low) {
            f = low;
            std::printf("Resetting reverb %s to %g Hz\n", name, low);
        }
        double top = rate * kMaxDesignFraction;
        if (f > top) {
            f = top;
            std::printf("Resetting reverb %s to %g Hz\n", name, top);
        }
        on = 1;
        freq = f;
        return true;
    });
}

}  // namespace

void ReadReturnLines(std::string_view content, bool percentMode, ReverbSettings& rv) {
    ScanKeyword(content, "rtn", [&](Tokenizer& t) {
        std::string_view level, size;
        if (!NextValue(t, false, level)) return false;
        rv.roomWanted = 1;
        rv.roomInput = float(LevelToGain(ReadDecimal(level), percentMode));
        if (NextValue(t, true, size)) rv.roomSize = float(ReadDecimal(size));
        return true;
    });
    rv.roomInput = UnitRange(rv.roomInput);

    ScanKeyword(content, "trtn", [&](Tokenizer& t) {
        std::string_view level, size, taps;
        if (!NextValue(t, false, level)) return false;
        rv.tapWanted = 1;
        rv.tapInput = float(LevelToGain(ReadDecimal(level), percentMode));
        if (NextValue(t, false, size)) rv.tapSize = float(ReadDecimal(size));
        if (NextValue(t, true, taps)) rv.tapCount = ReadInteger(taps);
        return true;
    });
    rv.tapInput = UnitRange(rv.tapInput);
}

void ReadReverbPlacement(std::string_view content, ReverbSettings& rv) {
    ScanKeyword(content, "pos", [&](Tokenizer& t) {
        float* coords[3] = {&rv.posX, &rv.posY, &rv.posZ};
        std::string_view v;
        for (int i = 0; i < 3; ++i) {
            if (!NextValue(t, i == 2, v)) return false;
            float p = float(ReadDecimal(v));
            checkValF(p, 100);
            *coords[i] = p;
        }
        return true;
    });
    ScanKeyword(content, "width", [&](Tokenizer& t) {
        std::string_view v;
        if (!NextValue(t, true, v)) return false;
        rv.width = float(ReadDecimal(v));
        return true;
    });
}

void ReadReverbFilters(std::string_view content, double rate, ReverbSettings& rv) {
    ReadFilterLines(content, "rhp", 20.0, 12000.0, rate, "high pass", rv.rhpOn, rv.rhpFreq);
    if (rv.rhpOn) rv.rhp = ReverbHighPass(rv.rhpFreq, rate);
    ReadFilterLines(content, "rlp", 500.0, 16000.0, rate, "low pass", rv.rlpOn, rv.rlpFreq);
    if (rv.rlpOn) rv.rlp = ReverbLowPass(rv.rlpFreq, rate);
}

void ReadTapPreference(std::string_view prefsContent, bool mixDirSet, const std::string& mixDir,
                       ReverbSettings& rv) {
    ScanKeyword(prefsContent, "tap", [&](Tokenizer& t) {
        std::string_view v;
        if (!NextValue(t, true, v)) return false;
        if (v == "rev") rv.tapMode = 1;
        else if (v == "rtn") rv.tapMode = 2;
        return true;
    });
    if (rv.tapMode == 0) return;
    std::string base = rv.tapMode == 1 ? "revTap.wav" : "rtnTap.wav";
    rv.tapFileName = mixDirSet ? mixDir + base : base;
}

}  // namespace varnel
