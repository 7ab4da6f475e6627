#include "mixer/run/command_line.hpp"

#include <cstring>

namespace varnel {

void PrintUsage(std::FILE* out) {
    std::fputs(
        "Usage: varnel [track list [fader file [preferences file]]]\n"
        "\n"
        "Mixes the WAV files named in the track list (default tracks.txt) as the\n"
        "fader file (default faders.txt) directs, with the settings of the\n"
        "preferences file (default prefs.txt). Names are taken from the current\n"
        "directory; a missing preferences file is created with the defaults.\n"
        "\n"
        "  -h, --help   print this help and exit\n"
        "  --version    print the version line and exit\n"
        "\n"
        "The files are described in docs/README.md.\n",
        out);
}

bool HandleInfoOptions(int argc, const char* const* argv, std::FILE* out, int& status) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            PrintUsage(out);
            status = 0;
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fprintf(out, "%s\n", kVersionLine);
            status = 0;
            return true;
        }
    }
    return false;
}

}  // namespace varnel
