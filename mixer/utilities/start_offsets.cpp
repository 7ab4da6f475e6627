#include "mixer/utilities/start_offsets.hpp"

#include <algorithm>
#include <cstdio>

#include "mixer/utilities/numbers.hpp"
#include "mixer/utilities/script_lines.hpp"
#include "mixer/utilities/text_scan.hpp"

namespace varnel {

namespace {
// Far beyond any table range, so that later sums cannot wrap.
constexpr int64_t kOffsetBound = int64_t(1) << 40;
}  // namespace

double ClockSeconds(double minutes, double seconds, double milliseconds) {
    float m = float(minutes), s = float(seconds), ms = float(milliseconds);
    return double(m) * 60.0 + double(s) + double(ms) / 1000.0;
}

int ReadStartOffsets(std::string_view content, double rate, StartOffsets& offsets) {
    offsets.fill(0);
    ScanKeyword(content, "tstamp", [&](Tokenizer& t) {
        int ch = 0;
        double m = 0, s = 0, ms = 0;
        if (!ReadIntegerValue(t, kTabDelim, ch) || !ReadDecimalValue(t, kTabDelim, m) ||
            !ReadDecimalValue(t, kTabDelim, s) || !ReadDecimalValue(t, kLineDelim, ms))
            return false;
        if (ch >= 1 && ch <= kMaxChannels)
            offsets[size_t(ch)] = std::clamp<int64_t>(TruncToInt64(ClockSeconds(m, s, ms) * rate),
                                                      -kOffsetBound, kOffsetBound);
        return true;
    });
    ScanKeyword(content, "sstamp", [&](Tokenizer& t) {
        int ch = 0;
        std::string_view v;
        if (!ReadIntegerValue(t, kTabDelim, ch) || !NextToken(t, kLineDelim, v)) return false;
        // 64-bit sums of 32-bit values; the range check below bounds them.
        if (ch >= 1 && ch <= kMaxChannels) offsets[size_t(ch)] += ReadInteger(v);
        return true;
    });
    for (int ch = 1; ch <= kMaxChannels; ++ch) {
        int64_t o = offsets[size_t(ch)];
        if (o > INT32_MAX || o < INT32_MIN) {
            std::printf("Error:  Start offset of channel %i (%lld samples) is out of range.\n", ch,
                        (long long)o);
            return 2;
        }
    }
    return 0;
}

}  // namespace varnel
