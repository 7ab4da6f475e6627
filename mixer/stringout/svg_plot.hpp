// Drawing primitives of the HTML report: short numbers, escaped text, compact
// SVG paths and the time axis. They know plot coordinates only, nothing of
// the mix.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// v with at most one decimal, trailing zeros dropped, never "-0".
std::string Num(double v);

// Text made safe inside XML elements and attributes: markup characters
// become references, control characters and bytes that are not UTF-8 become
// U+FFFD, so the page always parses.
std::string EscapeText(std::string_view text);

struct PlotPoint {
    double x = 0.0;
    double y = 0.0;
};

// Path data through the points ("M x y" then relative lines), coordinates
// rounded to `decimals` (0 or 1) decimals. Points within `tolerance` of a
// straight stretch between their neighbours are left out, and so are points
// that lie exactly on it after rounding; a point where the line turns back
// stays.
std::string LinePath(const std::vector<PlotPoint>& points, int decimals = 1,
                     double tolerance = 0.0);

// One dot per point (zero-length subpaths, drawn with a round line cap):
// "M x yh0" for the first, then relative moves "m dx dyh0"; a dot on the
// spot of the one before it is left out.
std::string DotPath(const std::vector<PlotPoint>& points, int decimals);

// Appends a vertical stroke from (x, y) down by h: "M x yv h".
void AddTick(std::string& path, double x, double y, double h);

// Minutes and seconds: "m:ss", with `decimals` decimals of the second.
std::string MinutesSeconds(double seconds, int decimals);

struct TimeTick {
    double column = 0.0;  // position in columns from the window's left edge
    std::string label;    // m:ss of the absolute song time
};

// Round times inside the window, about 6 to 12 of them.
std::vector<TimeTick> TimeTicks(int64_t windowStart, int64_t windowLength, uint32_t rate,
                                int columns);

}  // namespace varnel
