#include "adjuster/command_line.hpp"

#include <cmath>
#include <cstdlib>

#include "adjuster/fader_model.hpp"
#include "adjuster/field_reading.hpp"

namespace ostrand {

namespace {

void PrintLines(std::FILE* out, std::initializer_list<const char*> lines) {
    for (const char* line : lines) std::fprintf(out, "%s\n", line);
}

// The whole text must be a finite number.
bool ParseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(value);
}

// Takes the value of an option into cl; false with cl.error set when it is
// not one the option accepts.
bool TakeValue(CommandLine& cl, const std::string& option, const std::string& value) {
    double number = 0.0;
    if (option == "--fields") {
        if (value == "1" || value == "2" || value == "3") {
            cl.fields = value[0] - '0';
            return true;
        }
        cl.error = "--fields takes 1, 2 or 3";
        return false;
    }
    if (option == "--order") {
        if (value == "time" || value == "channel") {
            cl.ordering = value == "time" ? kByTimes : kByChannels;
            return true;
        }
        cl.error = "--order takes time or channel";
        return false;
    }
    if (option == "-o") {
        if (value.empty()) {
            cl.error = "-o takes a file name";
            return false;
        }
        cl.output = value;
        return true;
    }
    if (!ParseNumber(value, number)) {
        cl.error = option + " takes a number, not '" + value + "'";
        return false;
    }
    struct NumberOption {
        const char* name;
        bool CommandLine::*given;
        double CommandLine::*value;
    };
    static constexpr NumberOption kNumbers[] = {
        {"--nudge", &CommandLine::nudge, &CommandLine::nudgeSeconds},
        {"--scale", &CommandLine::scale, &CommandLine::scaleFactor},
        {"--gain", &CommandLine::gain, &CommandLine::gainDb},
        {"--channel-gain", &CommandLine::channelGain, &CommandLine::channelGainDb},
    };
    for (const NumberOption& n : kNumbers) {
        if (option != n.name) continue;
        cl.*n.given = true;
        cl.*n.value = number;
    }
    return true;
}

bool IsValueOption(const std::string& name) {
    for (const char* option :
         {"--nudge", "--scale", "--gain", "--channel-gain", "--fields", "--order", "-o"})
        if (name == option) return true;
    return false;
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CommandLine cl;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // The first informational option decides what is printed.
        if (arg == "-h" || arg == "--help") {
            if (!cl.version) cl.help = true;
            continue;
        }
        if (arg == "--version") {
            if (!cl.help) cl.version = true;
            continue;
        }
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        std::size_t equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            hasValue = true;
        }
        if (!IsValueOption(name)) {
            cl.positional.push_back(arg);
            continue;
        }
        cl.scripted = true;
        if (!hasValue) {
            if (i + 1 >= argc) {
                if (cl.error.empty()) cl.error = name + " needs a value";
                continue;
            }
            value = argv[++i];
        }
        if (!cl.error.empty()) continue;  // keep the first problem
        TakeValue(cl, name, value);
    }
    return cl;
}

std::string FilePath(const CommandLine& commandLine) {
    return commandLine.positional.empty() ? "faders.txt" : commandLine.positional[0];
}

int TimeFieldsSetting(const CommandLine& commandLine) {
    if (commandLine.fields != 0) return commandLine.fields;
    if (commandLine.positional.size() < 2) return kMinutesSecondsMillis;
    long fields = ReadInteger(commandLine.positional[1]);
    return (fields >= 1 && fields <= 3) ? static_cast<int>(fields) : kMinutesSecondsMillis;
}

void PrintUsage(std::FILE* out) {
    PrintLines(out,
               {"Usage: ostrand [options] [fader file [time fields]]",
                "",
                "Without options, loads a fader file (default faders.txt) and offers a menu",
                "to nudge or scale its times, adjust its volumes, change the number of time",
                "fields (1, 2 or 3; default 3) or the ordering, and print or save it.",
                "",
                "With any of these options, applies them in this order, saves, prints what",
                "it changed and exits (status 0, or 2 when anything is refused):",
                "  --nudge SECONDS        add SECONDS to every time",
                "  --scale FACTOR         multiply every time and ramp by FACTOR (0.001 to 1000)",
                "  --gain DB              add DB to every level (channels, submixes, VCAs, master)",
                "  --channel-gain DB      add DB to the levels of the channel faders only",
                "  --fields N             the t lines have N time fields (1, 2 or 3)",
                "  --order time|channel   write the entries ordered by time (default) or channel",
                "  -o OUT                 save as OUT (default: over the fader file, the old one",
                "                         kept as <file>.bak)",
                "",
                "  -h, --help   print this help and exit",
                "  --version    print the version line and exit",
                "",
                "The dialogue is described in docs/ostrand.md."});
}

void PrintHelp(std::FILE* out) {
    PrintLines(out, {"\nHelp:", "This program is used to adjust a file called faders.txt.",
                     "This is a file that controls the Varnel program.",
                     "\nYou can load in a different filename as the 1st argument.",
                     "\nYou can set the time fields with the 2nd argument.", "1 = time in seconds",
                     "2 = time in minutes and seconds",
                     "3 = time in minutes, seconds and milliseconds. (default)",
                     "You can change the fields after you have the correct fields to",
                     "load the file initially.",
                     "\nOnce the file is loaded correctly, you can scale times and volumes,",
                     "nudge times, and change formatting.\n"});
}

}  // namespace ostrand
