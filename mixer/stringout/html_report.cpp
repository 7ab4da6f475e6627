#include "mixer/stringout/html_report.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "mixer/stringout/svg_plot.hpp"

namespace varnel {

namespace {

// Every chart shares one horizontal layout, so all time axes line up: a
// left margin for the scale, then kPlotWidth units for the columns.
constexpr double kLeft = kHtmlPlotLeft;
constexpr double kPlotWidth = kHtmlPlotWidth;
constexpr double kWidth = kLeft + kPlotWidth + 16.0;
constexpr double kAxisHeight = 24.0;  // tick labels under a chart

// Lanes: +12 dB at the top, -60 dB and below at the bottom, on a fader's
// scale: finer near 0 dB, coarser towards silence. Each pair is a level and
// its depth as a fraction of the plot's height; straight in between.
constexpr double kLaneHeight = 72.0;
constexpr double kLaneTop = 4.0;
constexpr double kLaneBottom = 68.0;
constexpr double kFaderScale[][2] = {{12, 0.0},   {6, 0.1},    {0, 0.22},  {-6, 0.36}, {-12, 0.5},
                                     {-24, 0.68}, {-36, 0.8},  {-48, 0.9}, {-60, 1.0}};
constexpr double kLaneTolerance = 0.4;  // units a lane's line may stray from its points

// Loudness: 0 LUFS at the top, kLoudnessFloor at the bottom.
constexpr double kLoudTop = 10.0;
constexpr double kLoudBottom = 190.0;
constexpr double kLoudnessFloor = -60.0;

// Strip meters: bars from kMeterFloordB to 0 dB.
constexpr double kMeterFloordB = -60.0;

const char kStyle[] =
    "body{font:15px/1.45 sans-serif;color:#111;background:#fff;max-width:1280px;"
    "margin:1.5em auto;padding:0 1em}"
    "h1{font-size:1.5em;margin:0 0 .6em}"
    "h2{font-size:1.15em;border-bottom:1px solid #bbb;margin:1.8em 0 .5em;break-after:avoid}"
    "table{border-collapse:collapse}"
    "td,th{padding:.15em .8em .15em 0;text-align:left;vertical-align:top}"
    "th{font-weight:600;white-space:nowrap}"
    "td.n{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}"
    "svg{display:block;width:100%;height:auto}"
    "svg text{font-family:sans-serif;font-size:18px;fill:#444;paint-order:stroke;stroke:#fff;"
    "stroke-width:4px;stroke-linejoin:round}"
    "svg.bar{display:inline-block;width:10em;height:.8em;vertical-align:middle}"
    ".legend{font-size:.9em;color:#444;margin:.3em 0}"
    ".grid{stroke:#ddd;stroke-width:1;fill:none}"
    ".zero{stroke:#aaa;stroke-width:1;fill:none}"
    ".wave{fill:#3b6ea5;stroke:#3b6ea5;stroke-width:.6}"
    ".fs{stroke:#d00;stroke-width:3;fill:none}"
    ".pk{stroke:#e07000;stroke-width:2;stroke-dasharray:6 4;fill:none}"
    ".mom{stroke:#7c9fc0;stroke-width:1.5;fill:none}"
    ".st{stroke:#123a5c;stroke-width:3;fill:none}"
    ".int{stroke:#c05a00;stroke-width:2;stroke-dasharray:10 5;fill:none}"
    ".tgt{stroke:#2a8a2a;stroke-width:2;stroke-dasharray:3 4;fill:none}"
    ".gr{fill:#c33;stroke:#c33;stroke-width:.6}"
    ".lane{break-inside:avoid;margin:.2em 0 .1em}"
    ".lane .name{font-size:.85em;margin-bottom:-.2em}"
    ".note{color:#666}"
    ".lvl{stroke:#1d4f80;stroke-width:2.5;fill:none;stroke-linejoin:round}"
    ".off .lvl{stroke:#999;stroke-dasharray:6 4}"
    ".ent{stroke:#d04000;stroke-width:9;stroke-linecap:round;fill:none}"
    ".barbg{fill:#eee}.barfg{fill:#3b6ea5}.barover{fill:#d00}"
    ".clip{color:#c00;font-weight:700}"
    ".warn li{color:#8a3b00}"
    "@media print{body{max-width:none;margin:0;font-size:11pt}"
    "svg,.barbg,.barfg,.barover{print-color-adjust:exact;-webkit-print-color-adjust:exact}}";

std::string Printf(const char* format, double v) {
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

double X(double column, int columns) { return kLeft + column * kPlotWidth / columns; }

double Seconds(int64_t samples, uint32_t rate) { return rate > 0 ? double(samples) / rate : 0.0; }

std::string SvgOpen(double height, const std::string& cls, const std::string& label) {
    std::string s = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + Num(kWidth) +
                    " " + Num(height) + "\" role=\"img\"";
    if (!cls.empty()) s += " class=\"" + cls + "\"";
    s += " aria-label=\"" + EscapeText(label) + "\">";
    return s;
}

std::string Path(const std::string& cls, const std::string& d) {
    if (d.empty()) return "";
    return "<path class=\"" + cls + "\" d=\"" + d + "\"/>";
}

std::string Text(double x, double y, const std::string& text, const char* anchor = nullptr) {
    std::string s = "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\"";
    if (anchor) s += std::string(" text-anchor=\"") + anchor + "\"";
    return s + ">" + EscapeText(text) + "</text>";
}

// Vertical grid lines at the ticks, from top to bottom.
std::string TickGrid(const std::vector<TimeTick>& ticks, int columns, double top, double bottom) {
    std::string d;
    for (const TimeTick& t : ticks) AddTick(d, X(t.column, columns), top, bottom - top);
    return Path("grid", d);
}

// Tick labels on a line at y.
std::string TickLabels(const std::vector<TimeTick>& ticks, int columns, double y) {
    std::string s;
    for (const TimeTick& t : ticks) {
        const double x = X(t.column, columns);
        const char* anchor = x < kLeft + 30 ? "start" : x > kLeft + kPlotWidth - 30 ? "end" : "middle";
        s += Text(x, y, t.label, anchor);
    }
    return s;
}

// Horizontal lines across the plot at the given heights.
std::string HorizontalLines(const std::string& cls, const std::vector<double>& ys) {
    std::string d;
    for (double y : ys) {
        d += 'M';
        d += Num(kLeft);
        d += ' ';
        d += Num(y);
        d += 'h';
        d += Num(kPlotWidth);
    }
    return Path(cls, d);
}

std::string Row(const std::string& head, const std::string& value) {
    return "<tr><th>" + EscapeText(head) + "</th><td>" + EscapeText(value) + "</td></tr>";
}

std::string Db2(double v) { return Printf("%.2f", v); }

std::string Time(int64_t samples, uint32_t rate) { return MinutesSeconds(Seconds(samples, rate), 3); }

std::string Header(const HtmlFigures& f) {
    std::string s = "<h1>Mix report: " + EscapeText(f.mixName) + "</h1><table class=\"facts\">";
    s += Row("Output", f.outputFile + (f.format.empty() ? "" : ", " + f.format));
    s += Row("Window", Time(f.windowStart, f.rate) + " to " +
                           Time(f.windowStart + f.windowLength, f.rate) + " of a " +
                           Time(f.songLength, f.rate) + " song");
    s += Row("Length", Time(f.windowLength, f.rate) + " (" + std::to_string(f.windowLength) +
                           " frames at " + std::to_string(f.rate) + " Hz)");
    if (!f.date.empty()) s += Row("Date", f.date);
    if (f.hasDitherSeed) s += Row("Dither seed", std::to_string(f.ditherSeed));
    s += Row("Integrated loudness", Printf("%.1f LUFS", f.loudness.integrated));
    if (f.target.set)
        s += Row("Loudness target", Printf("%.1f LUFS", f.target.target) + ", gain applied " +
                                        Printf("%+.2f dB", f.target.gainDb));
    s += Row("Loudness range", Printf("%.1f LU", f.loudness.range));
    s += Row("True peak", "L " + Printf("%.1f dBTP", f.loudness.truePeakL) + ", R " +
                              Printf("%.1f dBTP", f.loudness.truePeakR));
    s += Row("Output peak", "L " + Db2(f.peakOutdBL) + " dB at " + Time(f.peakOutPosL, f.rate) +
                                ", R " + Db2(f.peakOutdBR) + " dB at " +
                                Time(f.peakOutPosR, f.rate));
    s += "</table>";
    s += "<h2 id=\"warnings\">Warnings</h2>";
    if (f.warnings.empty()) return s + "<p>None.</p>";
    s += "<ul class=\"warn\">";
    for (const std::string& w : f.warnings) s += "<li>" + EscapeText(w) + "</li>";
    return s + "</ul>";
}

// One side of the waveform in the band [top, top + height].
std::string WaveSide(const HtmlFigures& f, const std::vector<TimeTick>& ticks, double top,
                     double height, const std::vector<float>& lo, const std::vector<float>& hi,
                     const std::vector<uint8_t>& fullScale, int64_t peakPos, double peakdB,
                     const std::string& name) {
    const int C = f.columns;
    const double mid = top + height / 2, half = height / 2 - 4;
    auto y = [&](float v) { return mid - double(std::clamp(v, -1.0f, 1.0f)) * half; };
    std::string s = TickGrid(ticks, C, top, top + height);
    s += HorizontalLines("zero", {mid});
    s += HorizontalLines("grid", {mid - half, mid + half});
    std::vector<PlotPoint> band;
    band.reserve(size_t(C) * 2);
    for (int c = 0; c < C; ++c) band.push_back({X(c + 0.5, C), y(hi[size_t(c)])});
    for (int c = C - 1; c >= 0; --c) band.push_back({X(c + 0.5, C), y(lo[size_t(c)])});
    const std::string d = LinePath(band);
    if (!d.empty()) s += Path("wave", d + "z");
    std::string marks;
    for (int c = 0; c < C; ++c) {
        if (!fullScale[size_t(c)]) continue;
        AddTick(marks, X(c + 0.5, C), top, 8);
        AddTick(marks, X(c + 0.5, C), top + height - 8, 8);
    }
    s += Path("fs", marks);
    if (f.windowLength > 0 && peakPos >= f.windowStart && peakPos < f.windowStart + f.windowLength) {
        const double px = X(double(peakPos - f.windowStart) * C / double(f.windowLength), C);
        std::string pd;
        AddTick(pd, px, top, height);
        s += Path("pk", pd);
        const std::string label = "peak " + Db2(peakdB) + " dB at " + Time(peakPos, f.rate);
        s += px > kLeft + kPlotWidth * 0.7 ? Text(px - 6, top + 18, label, "end")
                                           : Text(px + 6, top + 18, label);
    }
    s += Text(kLeft - 12, mid + 6, name, "end");
    return s;
}

std::string Waveform(const HtmlFigures& f, const std::vector<TimeTick>& ticks) {
    const double side = 140.0;
    const int sides = f.mono ? 1 : 2;
    const double h = side * sides + kAxisHeight;
    std::string s = "<h2 id=\"waveform\">Waveform of the written output</h2>";
    s += "<p class=\"legend\">Smallest and largest sample per column; red marks: samples at "
         "full scale; dashed: the peak.</p>";
    s += SvgOpen(h, "", "waveform");
    s += WaveSide(f, ticks, 0, side, f.minL, f.maxL, f.fullScaleL, f.peakOutPosL, f.peakOutdBL,
                  f.mono ? "M" : "L");
    if (!f.mono)
        s += WaveSide(f, ticks, side, side, f.minR, f.maxR, f.fullScaleR, f.peakOutPosR,
                      f.peakOutdBR, "R");
    s += TickLabels(ticks, f.columns, h - 6);
    return s + "</svg>";
}

// A curve through per-column values, broken where a value is missing.
std::string BrokenLine(const std::vector<float>& v, int columns, double (*yOf)(double)) {
    std::string d;
    std::vector<PlotPoint> run;
    auto flush = [&] {
        if (run.size() == 1) run.push_back({run[0].x + 0.5, run[0].y});
        d += LinePath(run);
        run.clear();
    };
    for (int c = 0; c < columns; ++c) {
        const double value = double(v[size_t(c)]);
        if (!std::isfinite(value)) {
            flush();
            continue;
        }
        run.push_back({X(c + 0.5, columns), yOf(value)});
    }
    flush();
    return d;
}

double LoudY(double lufs) {
    const double v = std::clamp(lufs, kLoudnessFloor, 0.0);
    return kLoudTop + (0.0 - v) * (kLoudBottom - kLoudTop) / (0.0 - kLoudnessFloor);
}

std::string LoudnessChart(const HtmlFigures& f, const std::vector<TimeTick>& ticks) {
    const double h = kLoudBottom + 10 + kAxisHeight;
    std::string s = "<h2 id=\"loudness\">Loudness over time</h2>";
    s += "<p class=\"legend\">In LUFS. Thin line: momentary loudness (400 ms); thick line: short-term "
         "loudness (3 s); dashed: the integrated loudness";
    s += f.target.set ? "; dotted: the target.</p>" : ".</p>";
    s += SvgOpen(h, "", "loudness");
    s += TickGrid(ticks, f.columns, kLoudTop, kLoudBottom);
    std::vector<double> lines;
    for (int lu = 0; lu >= int(kLoudnessFloor); lu -= 10) {
        lines.push_back(LoudY(lu));
        s += Text(kLeft - 8, LoudY(lu) + 6, std::to_string(lu), "end");
    }
    s += HorizontalLines("grid", lines);
    s += Path("mom", BrokenLine(f.momentary, f.columns, LoudY));
    s += Path("st", BrokenLine(f.shortTerm, f.columns, LoudY));
    auto level = [&](const char* cls, double lufs, const std::string& label, double dy) {
        if (!std::isfinite(lufs)) return;
        s += HorizontalLines(cls, {LoudY(lufs)});
        // A label that would leave the chart at the top goes under its line.
        const double y = LoudY(lufs) + dy < 20.0 ? LoudY(lufs) + 20.0 : LoudY(lufs) + dy;
        s += Text(kLeft + kPlotWidth - 4, y, label, "end");
    };
    level("int", f.loudness.integrated, "integrated " + Printf("%.1f LUFS", f.loudness.integrated), -6);
    if (f.target.set)
        level("tgt", f.target.target, "target " + Printf("%.1f LUFS", f.target.target), 20);
    s += TickLabels(ticks, f.columns, h - 6);
    return s + "</svg>";
}

std::string LimiterChart(const HtmlFigures& f, const std::vector<TimeTick>& ticks) {
    if (f.limiterdB.empty()) return "";
    const double top = 10, bottom = 110, h = bottom + 10 + kAxisHeight;
    float most = 0.0f;
    for (float v : f.limiterdB) most = std::max(most, v);
    const double scale = std::max(3.0, std::ceil(double(most)));
    auto y = [&](double dB) { return top + std::clamp(dB, 0.0, scale) * (bottom - top) / scale; };
    std::string s = "<h2 id=\"limiter\">Master limiter</h2>";
    s += "<p class=\"legend\">The largest gain reduction per column, in dB (" +
         Printf("%.1f", double(most)) + " dB at most).</p>";
    s += SvgOpen(h, "", "limiter gain reduction");
    s += TickGrid(ticks, f.columns, top, bottom);
    s += HorizontalLines("zero", {top});
    s += HorizontalLines("grid", {y(scale / 2), y(scale)});
    s += Text(kLeft - 8, top + 6, "0", "end");
    s += Text(kLeft - 8, y(scale / 2) + 6, "-" + Num(scale / 2), "end");
    s += Text(kLeft - 8, y(scale) + 6, "-" + Num(scale), "end");
    std::vector<PlotPoint> area;
    area.push_back({X(0, f.columns), top});
    for (int c = 0; c < f.columns; ++c)
        area.push_back({X(c + 0.5, f.columns), y(double(f.limiterdB[size_t(c)]))});
    area.push_back({X(f.columns, f.columns), top});
    s += Path("gr", LinePath(area) + "z");
    s += TickLabels(ticks, f.columns, h - 6);
    return s + "</svg>";
}

double LaneY(double dB) {
    constexpr size_t kLast = sizeof kFaderScale / sizeof kFaderScale[0] - 1;
    const double v = std::clamp(dB, kFaderScale[kLast][0], kFaderScale[0][0]);
    double depth = 1.0;
    for (size_t i = 0; i < kLast; ++i) {
        const double a = kFaderScale[i][0], b = kFaderScale[i + 1][0];
        if (v < b) continue;
        depth = kFaderScale[i][1] + (a - v) / (a - b) * (kFaderScale[i + 1][1] - kFaderScale[i][1]);
        break;
    }
    return kLaneTop + depth * (kLaneBottom - kLaneTop);
}

// The lane's curve: the level at each column edge, and where the level goes
// further inside a column than between its edges (a short dip, a blip),
// down or up to that extreme half-way across.
std::string LaneLine(const HtmlLane& lane, int C) {
    std::vector<PlotPoint> pts;
    pts.reserve(size_t(C) + 1);
    double ya = LaneY(double(lane.edgedB[0]));
    for (int c = 0; c < C; ++c) {
        const double a = double(lane.edgedB[size_t(c)]), b = double(lane.edgedB[size_t(c) + 1]);
        const double lo = double(lane.lowdB[size_t(c)]), hi = double(lane.highdB[size_t(c)]);
        const double yb = b == a ? ya : LaneY(b);
        pts.push_back({X(c, C), ya});
        // Higher in decibels is further up; only a visible step counts.
        const bool higher = hi > std::max(a, b) && LaneY(hi) < std::min(ya, yb) - 0.05;
        const bool lower = lo < std::min(a, b) && LaneY(lo) > std::max(ya, yb) + 0.05;
        // Visit the extreme nearer the start's side first.
        if (higher && lower && a >= b) {
            pts.push_back({X(c + 0.5, C), LaneY(hi)});
            pts.push_back({X(c + 0.5, C), LaneY(lo)});
        } else if (higher && lower) {
            pts.push_back({X(c + 0.5, C), LaneY(lo)});
            pts.push_back({X(c + 0.5, C), LaneY(hi)});
        } else if (higher) {
            pts.push_back({X(c + 0.5, C), LaneY(hi)});
        } else if (lower) {
            pts.push_back({X(c + 0.5, C), LaneY(lo)});
        }
        ya = yb;
    }
    pts.push_back({X(C, C), ya});
    // Whole units are finer than a screen's pixels here.
    return LinePath(pts, 0, kLaneTolerance);
}

std::string Lanes(const HtmlFigures& f, const std::vector<TimeTick>& ticks) {
    const int C = f.columns;
    std::string s = "<h2 id=\"automation\">Automation</h2>";
    if (f.lanes.empty()) return s + "<p>No fader has level entries.</p>";
    s += "<p class=\"legend\">The level of each fader with level entries as playback follows "
         "it, from +12 dB at the top to -60 dB and silence at the bottom on a fader's scale, finer "
         "near 0 dB (grid lines at 0, -12, -24 and -48 dB); dots: the entries; grey dashed: a fader the mix does not play.</p>";
    const std::string axis = SvgOpen(kAxisHeight, "", "time axis") + TickLabels(ticks, C, 18) + "</svg>";
    s += axis;
    // The grid is the same for every lane.
    std::string grid = TickGrid(ticks, C, kLaneTop, kLaneBottom);
    grid += HorizontalLines("zero", {LaneY(0)});
    grid += HorizontalLines("grid", {LaneY(-12), LaneY(-24), LaneY(-48)});
    grid += Text(kLeft - 8, LaneY(0) + 6, "0", "end");
    grid += Text(kLeft - 8, LaneY(-24) + 6, "-24", "end");
    for (const HtmlLane& lane : f.lanes) {
        s += !lane.played ? "<div class=\"lane off\">" : "<div class=\"lane\">";
        s += "<div class=\"name\">" + EscapeText(lane.label);
        if (!lane.note.empty()) s += " <span class=\"note\">(" + EscapeText(lane.note) + ")</span>";
        s += "</div>";
        s += SvgOpen(kLaneHeight, "", lane.label) + grid;
        s += Path("lvl", LaneLine(lane, C));
        std::vector<PlotPoint> dots;
        for (size_t e = 0; e < lane.entryColumn.size(); ++e)
            dots.push_back({X(lane.entryColumn[e], C), LaneY(double(lane.entrydB[e]))});
        s += Path("ent", DotPath(dots, 0));
        s += "</svg></div>";
    }
    return s + axis;
}

std::string Bar(double dB) {
    const double w = std::clamp((dB - kMeterFloordB) / (0.0 - kMeterFloordB), 0.0, 1.0) * 100.0;
    std::string s = "<svg class=\"bar\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 100 8\">"
                    "<rect class=\"barbg\" width=\"100\" height=\"8\"/>";
    s += std::string("<rect class=\"") + (dB > 0.0 ? "barover" : "barfg") + "\" width=\"" + Num(w) +
         "\" height=\"8\"/>";
    return s + "</svg>";
}

std::string Meters(const HtmlFigures& f) {
    std::string s = "<h2 id=\"meters\">Strip meters</h2>";
    if (f.strips.empty()) return s + "<p>No strip was mixed.</p>";
    s += "<p class=\"legend\">Peak of each strip in dB below full scale, left and right (bars "
         "from -60 dB to 0 dB, red past full scale); a strip marked CLIP clipped after its "
         "effects.</p><table class=\"meters\"><tr><th>Strip</th><th>Left</th><th></th>"
         "<th>Right</th><th></th><th></th></tr>";
    for (const HtmlStrip& m : f.strips) {
        s += "<tr><td>" + EscapeText(m.label) + "</td><td>" + Bar(m.peakdBL) + "</td><td class=\"n\">" +
             Db2(m.peakdBL) + "</td><td>" + Bar(m.peakdBR) + "</td><td class=\"n\">" +
             Db2(m.peakdBR) + "</td><td>" + (m.clip ? "<span class=\"clip\">CLIP</span>" : "") +
             "</td></tr>";
    }
    return s + "</table>";
}

// Per-column arrays shorter than the column count would be read past their
// end; such a set of figures draws no charts.
bool ColumnsConsistent(const HtmlFigures& f) {
    const size_t C = size_t(f.columns);
    if (f.columns <= 0) return false;
    for (const auto* v : {&f.minL, &f.maxL, &f.momentary, &f.shortTerm})
        if (v->size() < C) return false;
    if (!f.mono && (f.minR.size() < C || f.maxR.size() < C || f.fullScaleR.size() < C)) return false;
    if (f.fullScaleL.size() < C) return false;
    if (!f.limiterdB.empty() && f.limiterdB.size() < C) return false;
    for (const HtmlLane& lane : f.lanes)
        if (lane.edgedB.size() < C + 1 || lane.lowdB.size() < C || lane.highdB.size() < C ||
            lane.entrydB.size() < lane.entryColumn.size())
            return false;
    return true;
}

}  // namespace

std::string HtmlReportPage(const HtmlFigures& f) {
    std::string s = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"/>";
    s += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>";
    s += "<title>Mix report: " + EscapeText(f.mixName) + "</title><style>";
    s += kStyle;
    s += "</style></head><body>\n";
    s += Header(f) + "\n";
    if (ColumnsConsistent(f)) {
        const std::vector<TimeTick> ticks = TimeTicks(f.windowStart, f.windowLength, f.rate, f.columns);
        s += Waveform(f, ticks) + "\n";
        s += LoudnessChart(f, ticks) + "\n";
        s += LimiterChart(f, ticks) + "\n";
        s += Lanes(f, ticks) + "\n";
    }
    s += Meters(f) + "\n";
    s += "<p class=\"legend\">Written by varnel.</p></body></html>\n";
    return s;
}

std::string HtmlReportFileName(const std::string& dirPrefix, const std::string& name) {
    return dirPrefix + "report_" + name + ".html";
}

}  // namespace varnel
