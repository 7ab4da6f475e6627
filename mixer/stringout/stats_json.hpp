// The machine-readable report, "stats_<mix>.json": the run record and the
// figures of the text report as JSON numbers. Its layout is described in
// docs/json-report.md; "version" changes whenever the layout does.
#pragma once

#include <cstdint>
#include <string>

#include "mixer/stringout/report.hpp"
#include "mixer/stringout/run_record.hpp"

namespace varnel {

constexpr int kStatsJsonVersion = 1;

// What the JSON gives beyond the text report's inputs.
struct StatsJsonFacts {
    std::string mixName;
    int outChannels = 2;          // 1 for a mono output
    int64_t windowStart = 0;      // the mix window, in samples of the mix rate
    int64_t windowLength = 0;
    float processingSeconds = 0.0f;  // as the text report gives it
};

// "stats_<name>.json" behind the same directory prefix as the text report.
std::string StatsJsonFileName(const std::string& dirPrefix, const std::string& name);

std::string StatsJson(const ReportInputs& in, const RunRecord& record, const StatsJsonFacts& facts);

}  // namespace varnel
