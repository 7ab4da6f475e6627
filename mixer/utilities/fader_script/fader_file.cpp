#include "mixer/utilities/fader_script/fader_file.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sys/stat.h>

#include "mixer/utilities/limits.hpp"
#include "mixer/utilities/text/line_checks.hpp"

namespace varnel {

namespace {

constexpr const char* kDefaultFaderName = "faders.txt";

bool PathExists(const char* path) {
    struct stat st;
    return stat(path, &st) == 0;
}

}  // namespace

std::string DefaultFaderText(int channels, float level) {
    std::string text = "begin\ntest_mix\n\nt\t0\t0\t0\n";
    char line[64];
    for (int c = 1; c <= channels; ++c) {
        std::snprintf(line, sizeof line, "v\t%i\t%.1f\n", c, double(level));
        text += line;
    }
    text += "end\n";
    return text;
}

int LoadFaderScript(const std::string& path, bool nameGivenOnCommandLine, int trackCount,
                    int verbosity, TextFile& out, Diagnostics* diag, MissingFaders missing) {
    if (LoadTextFile(path, out) != LoadResult::Ok) {
        // The default file is only ever created where nothing exists yet.
        if (PathExists(kDefaultFaderName)) {
            if (nameGivenOnCommandLine && path != kDefaultFaderName)
                std::printf("The fader file %s was not found.\n", path.c_str());
            else
                std::printf("The fader file %s could not be read.\n", kDefaultFaderName);
            return 2;
        }
        std::printf("%s file was not found\n", path.c_str());
        // Without a person to answer (or when nothing may be written), no
        // default file is made: mixing every track at one level is not a
        // result anyone asked for.
        if (missing == MissingFaders::Refuse) return 2;
        int n = std::clamp(trackCount, 0, kMaxChannels);
        std::puts("Enter the default fader value or -999 to exit.");
        std::fflush(stdout);
        float level = 0.0f;
        // End of input or a non-number leaves the default at 0 dB.
        if (std::scanf("%f", &level) != 1 || !std::isfinite(level)) level = 0.0f;
        if (level == -999.0f) return 1;
        std::FILE* f = std::fopen(kDefaultFaderName, "w+x");
        if (!f) {
            std::printf("Could not create %s.\n", kDefaultFaderName);
            return 2;
        }
        std::string text = DefaultFaderText(n, level);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fflush(f);
        LoadTextStream(f, kDefaultFaderName, out);
        std::fclose(f);
    }
    // Spaces go before any reading; the warnings look at the text as written.
    const std::string written = out.content;
    if (out.content.find(' ') != std::string::npos) {
        RemoveSpaces(out.content);
        IndexLines(out);
    }
    const ScanText src = ScanOf(out, diag, verbosity >= 2);
    CrLfWarning(src, out);
    PrintLineWarnings(src, WarningFile::Faders, written);
    return 0;
}

std::string MixNameFromScript(const std::string& content) {
    Tokenizer t{content, 0};
    std::string_view line;
    if (!NextToken(t, kLineDelim, line)) return std::string();
    return std::string(line);
}

}  // namespace varnel
