#include "mixer/stringout/loudness_lines.hpp"

#include <cstdio>

namespace varnel {

std::string LoudnessLines(const LoudnessFigures& f) {
    char line[4][96];
    std::snprintf(line[0], sizeof line[0], "Integrated loudness = %.1f LUFS\n", f.integrated);
    std::snprintf(line[1], sizeof line[1], "Loudness range = %.1f LU\n", f.range);
    std::snprintf(line[2], sizeof line[2], "True peak L = %.1f dBTP\n", f.truePeakL);
    std::snprintf(line[3], sizeof line[3], "True peak R = %.1f dBTP\n", f.truePeakR);
    return std::string(line[0]) + line[1] + line[2] + line[3];
}

std::string LoudnessTargetLine(const LoudnessTarget& t) {
    if (!t.set) return std::string();
    char line[96];
    std::snprintf(line, sizeof line, "Loudness target = %.1f LUFS, gain applied = %+.2f dB\n",
                  t.target, t.gainDb);
    return line;
}

std::string LoudnessTargetWarning(const LoudnessTarget& t) {
    if (!t.set) return std::string();
    char line[160];
    if (t.silent)
        return "Warning: the target was not reached: the mix has no loudness above the gates "
               "(-inf LUFS), so no gain was applied.\n";
    if (!t.capped) return std::string();
    std::snprintf(line, sizeof line,
                  "Warning: the target was not reached: the true-peak ceiling of %.1f dBTP allows "
                  "%.1f LUFS at most.\n",
                  t.ceiling, ReachedLoudness(t));
    return line;
}

}  // namespace varnel
