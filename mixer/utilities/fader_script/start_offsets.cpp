#include "mixer/utilities/fader_script/start_offsets.hpp"

#include <algorithm>
#include <cstdio>

#include "mixer/utilities/text/numbers.hpp"
#include "mixer/utilities/text/keyword_line.hpp"
#include "mixer/utilities/text/text_scan.hpp"

namespace varnel {

namespace {
// Far beyond any table range, so that later sums cannot wrap.
constexpr int64_t kOffsetBound = int64_t(1) << 40;
}  // namespace

double ClockSeconds(double minutes, double seconds, double milliseconds) {
    float m = float(minutes), s = float(seconds), ms = float(milliseconds);
    return double(m) * 60.0 + double(s) + double(ms) / 1000.0;
}

int ReadStartOffsets(const ScanText& src, double rate, StartOffsets& offsets) {
    offsets.fill(0);
    std::array<int, kChannelTable> lastLine{};  // the line that set or moved each offset last
    ScanKeyword(src, "tstamp", [&](KeywordLine& k) {
        if (NoValue(k, 4)) return true;
        const int ch = IntegerField(k, kTabDelim);
        const double m = DecimalField(k, kTabDelim);
        const double s = DecimalField(k, kTabDelim);
        const double ms = DecimalField(k, kLineDelim);
        if (ch >= 1 && ch <= kMaxChannels) {
            offsets[size_t(ch)] = std::clamp<int64_t>(TruncToInt64(ClockSeconds(m, s, ms) * rate),
                                                      -kOffsetBound, kOffsetBound);
            lastLine[size_t(ch)] = k.line;
        }
        return true;
    });
    ScanKeyword(src, "sstamp", [&](KeywordLine& k) {
        if (NoValue(k, 2)) return true;
        const int ch = IntegerField(k, kTabDelim);
        const int samples = IntegerField(k, kLineDelim);
        // 64-bit sums of 32-bit values; the range check below bounds them.
        if (ch >= 1 && ch <= kMaxChannels) {
            offsets[size_t(ch)] += samples;
            lastLine[size_t(ch)] = k.line;
        }
        return true;
    });
    for (int ch = 1; ch <= kMaxChannels; ++ch) {
        int64_t o = offsets[size_t(ch)];
        if (o > INT32_MAX || o < INT32_MIN) {
            char text[128];
            std::snprintf(text, sizeof text,
                          "Error:  Start offset of channel %i (%lld samples) is out of range.\n", ch,
                          (long long)o);
            LineError(src, lastLine[size_t(ch)], text);
            return 2;
        }
    }
    return 0;
}

}  // namespace varnel
