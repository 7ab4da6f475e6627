// The reverb settings of a mix: return lines, placement, input filters and
// the tap-file preference. One set for the whole mix.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "mixer/utilities/effect_settings/filter_design.hpp"
#include "mixer/utilities/text/text_scan.hpp"

namespace varnel {

// Reverb filter stages, in the order the filters' memories are kept.
enum RevEqStage { kTapRevHighPass, kTapRevLowPass, kRoomRevHighPass, kRoomRevLowPass };

struct ReverbSettings {
    float roomInput = 0.0f;  // "rtn" return level, 0..1
    float roomSize = 75.0f;
    float tapInput = 0.0f;   // "trtn" return level, 0..1
    float tapSize = 75.0f;
    int tapCount = 1;
    float posX = 37.0f, posY = 39.0f, posZ = 43.0f;  // percent
    float width = 50.0f;
    int rhpOn = 0;
    double rhpFreq = 0.0;
    Biquad rhp{1.0, 0.0, 0.0, 0.0, 0.0};
    int rlpOn = 0;
    double rlpFreq = 0.0;
    Biquad rlp{1.0, 0.0, 0.0, 0.0, 0.0};
    int roomWanted = 0;  // a "rtn" line exists
    int tapWanted = 0;   // a "trtn" line exists
    int roomActive = 0;
    int tapActive = 0;
    int tapMode = 0;     // 0 none, 1 room-reverb send, 2 reverb return
    std::string tapFileName;
};

// Send or return level as a linear factor: checked in the level mode, then
// 10^(dB/20) or percent / 100. No upper limit here.
double LevelToGain(double level, bool percentMode);

// "rtn" (level, size) and "trtn" (level, size, tap count); input levels end
// up in [0, 1].
void ReadReturnLines(const ScanText& src, bool percentMode, ReverbSettings& rv);
// "pos" x, y, z in [0, 100] and "width".
void ReadReverbPlacement(const ScanText& src, ReverbSettings& rv);
// "rhp" [20, 12000] Hz and "rlp" [500, 16000] Hz, both kept below half the
// mix rate, then their coefficients from the last line of each.
void ReadReverbFilters(const ScanText& src, double rate, ReverbSettings& rv);
// The preference "tap": "rev" mode 1, "rtn" mode 2; names the tap file.
void ReadTapPreference(const ScanText& prefs, bool mixDirSet, const std::string& mixDir,
                       ReverbSettings& rv);

// Highest design frequency of any filter, as a fraction of the sample rate:
// at half the rate the recursive designs sit on the edge of stability.
constexpr double kMaxDesignFraction = 0.45;

}  // namespace varnel
