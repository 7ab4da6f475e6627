#include "mixer/run/command_line.hpp"

#include <cstring>

namespace varnel {

void PrintUsage(std::FILE* out) {
    std::fputs(
        "Usage: varnel [--check] [--strict] [track list [fader file [preferences file]]]\n"
        "\n"
        "Mixes the WAV files named in the track list (default tracks.txt) as the\n"
        "fader file (default faders.txt) directs, with the settings of the\n"
        "preferences file (default prefs.txt). Names are taken from the current\n"
        "directory; a missing preferences file is created with the defaults.\n"
        "\n"
        "  --check      read everything, print what was understood, write nothing\n"
        "  --strict     end with status 2, before any file is written, on a warning\n"
        "  -h, --help   print this help and exit\n"
        "  --version    print the version line and exit\n"
        "\n"
        "The preference \"threads N\" mixes the channels with effects on N threads\n"
        "(0: one per core); the mix is the same byte for byte.\n"
        "\n"
        "The files are described in docs/README.md.\n",
        out);
}

int ParseCommandLine(int argc, const char* const* argv, std::FILE* out, CommandLine& cl) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            PrintUsage(out);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fprintf(out, "%s\n", kVersionLine);
            return 0;
        }
    }
    std::string* positional[] = {&cl.tracks, &cl.faders, &cl.prefs};
    int given = 0;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--check") == 0) {
            cl.check = true;
        } else if (std::strcmp(a, "--strict") == 0) {
            cl.strict = true;
        } else if (a[0] == '-') {
            std::fprintf(out, "Unknown option %s.\n", a);
            PrintUsage(out);
            return 2;
        } else if (given == 3) {
            std::fprintf(out, "Too many arguments: %s is a fourth file name.\n", a);
            PrintUsage(out);
            return 2;
        } else {
            *positional[given++] = a;
        }
    }
    cl.fadersGiven = given >= 2;
    return -1;
}

}  // namespace varnel
