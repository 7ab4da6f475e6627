// What the HTML report draws of the written output, gathered block by block
// at a fixed number of columns known before the mix: per column and side the
// smallest and largest output word and whether a word reached full scale, and
// the largest magnitude that met the master limiter. The memory is fixed when
// gathering starts; the audio is only read.
#pragma once

#include <cstdint>
#include <vector>

namespace varnel {

constexpr int kReportColumns = 1600;

// Column c holds the samples from windowStart + floor(c * windowLength /
// columns) up to the next column's first sample.
struct OutputColumns {
    int columns = 0;  // 0: not gathering
    int64_t windowStart = 0;
    int64_t windowLength = 0;
    std::vector<int32_t> minL, maxL, minR, maxR;  // output words; min > max where nothing came
    std::vector<uint8_t> fullScaleL, fullScaleR;  // 1 where a word reached full scale
    std::vector<double> limiterInput;  // largest magnitude entering the master limiter;
                                       // empty without one
};

// Readies the columns for a window: kReportColumns of them, or one per
// sample for a shorter window.
void StartOutputColumns(OutputColumns& c, int64_t windowStart, int64_t windowLength,
                        bool masterLimiter);

// The column holding absolute sample s.
int ColumnOfSample(const OutputColumns& c, int64_t s);

// One block of n frames from absolute sample blockStart: `words` are the
// master's 32-bit words after the dither (where full scale is judged, as the
// output clip count does), `out` the words written. The right side is null
// for a mono output.
void GatherOutputBlock(OutputColumns& c, int64_t blockStart, int n, const int32_t* wordsL,
                       const int32_t* wordsR, const int32_t* outL, const int32_t* outR);

// The master's samples as they enter its limiter.
void GatherLimiterInput(OutputColumns& c, int64_t blockStart, int n, const double* left,
                        const double* right);

}  // namespace varnel
