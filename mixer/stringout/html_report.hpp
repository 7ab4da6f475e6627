// The mix report as one self-contained HTML page: the header figures and
// warnings, the waveform of the written output, the loudness over time, the
// master limiter's gain reduction, one automation lane per fader and the
// strip meters, on one time axis. Inline CSS and SVG only: no script, no
// font or file fetched, readable printed. The page is well-formed XML too.
#pragma once

#include <string>

#include "mixer/stringout/html_figures.hpp"

namespace varnel {

// Every chart's plot area starts kHtmlPlotLeft units from the left of its
// SVG and is kHtmlPlotWidth units wide whatever the number of columns, so
// column c of C sits at x = kHtmlPlotLeft + c * kHtmlPlotWidth / C.
constexpr double kHtmlPlotLeft = 72.0;
constexpr double kHtmlPlotWidth = 1600.0;

std::string HtmlReportPage(const HtmlFigures& f);

// "report_<name>.html" behind a directory prefix, named as the other reports
// are (see StatsFileName).
std::string HtmlReportFileName(const std::string& dirPrefix, const std::string& name);

}  // namespace varnel
