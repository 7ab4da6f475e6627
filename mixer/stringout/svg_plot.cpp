#include "mixer/stringout/svg_plot.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace varnel {

namespace {

int64_t Scale(int decimals) { return decimals > 0 ? 10 : 1; }

// A number held in units of 10^-decimals (0 or 1 decimals) written as a
// decimal: 35 -> "3.5", -40 -> "-4".
std::string Units(int64_t t, int decimals) {
    std::string s = t < 0 ? "-" : "";
    const uint64_t a = t < 0 ? uint64_t(-t) : uint64_t(t);
    if (decimals <= 0) return s + std::to_string(a);
    s += std::to_string(a / 10);
    if (a % 10 != 0) {
        s += '.';
        s += char('0' + a % 10);
    }
    return s;
}

int64_t ToUnits(double v, int decimals) {
    if (!std::isfinite(v)) return 0;
    return std::llround(v * double(Scale(decimals)));
}

// Appends a number to path data: a space separates it from a number before
// it, a minus sign does that by itself.
void AppendNumber(std::string& path, int64_t units, int decimals) {
    const std::string n = Units(units, decimals);
    const char last = path.empty() ? ' ' : path.back();
    if (n[0] != '-' && last != ' ' && !std::isalpha(static_cast<unsigned char>(last))) path += ' ';
    path += n;
}

// True when every point strictly between a and e lies within `tolerance`
// of the segment from a to e, and not beyond either of its ends.
bool Straight(const std::vector<PlotPoint>& p, size_t a, size_t e, double tolerance) {
    const double dx = p[e].x - p[a].x, dy = p[e].y - p[a].y;
    const double length2 = dx * dx + dy * dy;
    for (size_t j = a + 1; j < e; ++j) {
        const double qx = p[j].x - p[a].x, qy = p[j].y - p[a].y;
        if (length2 == 0.0) {
            if (qx * qx + qy * qy > tolerance * tolerance) return false;
            continue;
        }
        const double along = (qx * dx + qy * dy) / length2;
        if (along < 0.0 || along > 1.0) return false;
        const double off = std::fabs(qx * dy - qy * dx) / std::sqrt(length2);
        if (off > tolerance) return false;
    }
    return true;
}

// Length of the UTF-8 sequence starting at text[i], or 0 when it is not one.
size_t Utf8Length(std::string_view text, size_t i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t n = 0;
    uint32_t cp = 0;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > text.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        const unsigned char d = static_cast<unsigned char>(text[i + k]);
        if ((d & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (d & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not text.
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    // Nor are the C1 controls and the two non-characters XML refuses.
    if ((cp >= 0x80 && cp <= 0x9F) || cp == 0xFFFE || cp == 0xFFFF) return 0;
    return n;
}

}  // namespace

std::string Num(double v) { return Units(ToUnits(v, 1), 1); }

std::string EscapeText(std::string_view text) {
    static const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        switch (c) {
            case '&': out += "&amp;"; ++i; continue;
            case '<': out += "&lt;"; ++i; continue;
            case '>': out += "&gt;"; ++i; continue;
            case '"': out += "&quot;"; ++i; continue;
            case '\'': out += "&#39;"; ++i; continue;
            default: break;
        }
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            out += kReplacement;
            ++i;
            continue;
        }
        const size_t n = Utf8Length(text, i);
        if (n == 0) {
            out += kReplacement;
            ++i;
            continue;
        }
        out.append(text.substr(i, n));
        i += n;
    }
    return out;
}

std::string LinePath(const std::vector<PlotPoint>& points, int decimals, double tolerance) {
    // Points within the tolerance of a straight stretch go first (at most
    // kReach points are looked back over, which bounds the work).
    // Level stretches (the usual lane) are thinned first, exactly and
    // cheaply: a point between two of the same height, on the way from one
    // to the other, adds nothing.
    constexpr size_t kReach = 64;
    std::vector<PlotPoint> level, bent;
    if (tolerance > 0.0 && points.size() > 2) {
        level.reserve(points.size());
        for (size_t i = 0; i < points.size(); ++i) {
            const bool inner = i > 0 && i + 1 < points.size();
            if (inner && points[i - 1].y == points[i].y && points[i + 1].y == points[i].y &&
                points[i - 1].x <= points[i].x && points[i].x <= points[i + 1].x)
                continue;
            level.push_back(points[i]);
        }
        size_t a = 0;
        bent.push_back(level[0]);
        while (a + 1 < level.size()) {
            size_t e = a + 1;
            while (e + 1 < level.size() && e + 1 - a <= kReach && Straight(level, a, e + 1, tolerance)) ++e;
            bent.push_back(level[e]);
            a = e;
        }
    }
    const std::vector<PlotPoint>& source = bent.empty() ? points : bent;
    struct P {
        int64_t x, y;
    };
    std::vector<P> kept;
    kept.reserve(source.size());
    for (const PlotPoint& q : source) {
        const P p{ToUnits(q.x, decimals), ToUnits(q.y, decimals)};
        if (!kept.empty() && kept.back().x == p.x && kept.back().y == p.y) continue;
        // The last kept point goes when it lies on the way from the one
        // before it to p; a point where the line turns back stays.
        while (kept.size() >= 2) {
            const P& a = kept[kept.size() - 2];
            const P& b = kept.back();
            const int64_t cross = (b.x - a.x) * (p.y - b.y) - (b.y - a.y) * (p.x - b.x);
            const int64_t dot = (b.x - a.x) * (p.x - b.x) + (b.y - a.y) * (p.y - b.y);
            if (cross != 0 || dot < 0) break;
            kept.pop_back();
        }
        kept.push_back(p);
    }
    std::string path;
    if (kept.empty()) return path;
    path += 'M';
    AppendNumber(path, kept[0].x, decimals);
    AppendNumber(path, kept[0].y, decimals);
    if (kept.size() == 1) return path;
    path += 'l';
    for (size_t i = 1; i < kept.size(); ++i) {
        AppendNumber(path, kept[i].x - kept[i - 1].x, decimals);
        AppendNumber(path, kept[i].y - kept[i - 1].y, decimals);
    }
    return path;
}

std::string DotPath(const std::vector<PlotPoint>& points, int decimals) {
    std::string path;
    int64_t x = 0, y = 0;
    for (const PlotPoint& q : points) {
        const int64_t px = ToUnits(q.x, decimals), py = ToUnits(q.y, decimals);
        if (!path.empty() && px == x && py == y) continue;
        path += path.empty() ? 'M' : 'm';
        AppendNumber(path, px - x, decimals);  // from 0 0 for the first dot
        AppendNumber(path, py - y, decimals);
        path += "h0";
        x = px;
        y = py;
    }
    return path;
}

void AddTick(std::string& path, double x, double y, double h) {
    path += 'M';
    AppendNumber(path, ToUnits(x, 1), 1);
    AppendNumber(path, ToUnits(y, 1), 1);
    path += 'v';
    AppendNumber(path, ToUnits(h, 1), 1);
}

std::string MinutesSeconds(double seconds, int decimals) {
    int64_t unit = 1;
    for (int d = 0; d < decimals; ++d) unit *= 10;
    const int64_t total = std::llround(std::max(0.0, seconds) * double(unit));
    const int64_t perMinute = 60 * unit;
    const int64_t rest = total % perMinute;
    std::string text = std::to_string(total / perMinute) + ":";
    const int64_t secs = rest / unit;
    if (secs < 10) text += '0';
    text += std::to_string(secs);
    if (decimals > 0) {
        std::string frac = std::to_string(rest % unit);
        text += '.' + std::string(size_t(decimals) - std::min(frac.size(), size_t(decimals)), '0') + frac;
    }
    return text;
}

std::vector<TimeTick> TimeTicks(int64_t windowStart, int64_t windowLength, uint32_t rate,
                                int columns) {
    std::vector<TimeTick> ticks;
    if (rate == 0 || windowLength <= 0 || columns <= 0) return ticks;
    static const double kSteps[] = {0.01, 0.02, 0.05, 0.1,  0.2,  0.5,  1,    2,   5,
                                    10,   15,   30,   60,   120,  300,  600,  900, 1800,
                                    3600, 7200, 18000, 36000, 86400};
    const double length = double(windowLength) / rate;
    double step = kSteps[sizeof kSteps / sizeof kSteps[0] - 1];
    for (double s : kSteps)
        if (length / s <= 10.0) {
            step = s;
            break;
        }
    const int decimals = step < 0.1 ? 2 : step < 1.0 ? 1 : 0;
    const double start = double(windowStart) / rate;
    for (int64_t i = int64_t(std::ceil(start / step - 1e-9));; ++i) {
        const double t = double(i) * step;
        const double column = (t * rate - double(windowStart)) * columns / double(windowLength);
        if (column > columns + 1e-9) break;
        ticks.push_back({column, MinutesSeconds(t, decimals)});
    }
    return ticks;
}

}  // namespace varnel
