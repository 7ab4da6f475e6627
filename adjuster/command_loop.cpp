#include "adjuster/command_loop.hpp"

#include <memory>
#include <string>
#include <vector>

#include "adjuster/fader_model.hpp"
#include "adjuster/field_reading.hpp"
#include "adjuster/formats.hpp"
#include "adjuster/operations.hpp"
#include "adjuster/parsing.hpp"
#include "adjuster/save_file.hpp"

namespace ostrand {

namespace {

struct Session {
    FaderModel model;
    int timeFields = kMinutesSecondsMillis;
    int ordering = kByTimes;
    std::string command;
    std::string outputText;
};

// What a command did to the dialogue: go on, or stop as if "x" was typed.
enum class Flow { kContinue, kEnd };

void PrintLines(std::FILE* out, std::initializer_list<const char*> lines) {
    for (const char* line : lines) std::fprintf(out, "%s\n", line);
}

void PrintEntryCounts(const FaderModel& model, std::FILE* out) {
    std::fputs("\nEntries:\n", out);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (model.counts[slot] == 0) continue;
        if (slot < kChannelCount)
            std::fprintf(out, "ch %i:  %i\n", slot, model.counts[slot]);
        else
            std::fprintf(out, "ch %s:  %i\n", SlotLabel(slot).c_str(), model.counts[slot]);
    }
}

void PrintMenu(const FaderModel& model, std::FILE* out) {
    std::fputs("\n", out);
    float last = FindMax(model.times, model.counts);
    float first = FindMin(model.times, model.counts, last);
    std::fprintf(out, "First time at %.3f\n", static_cast<double>(first));
    std::fprintf(out, "Last time at  %.3f\n", static_cast<double>(last));
    std::fputs("\n", out);
    PrintLines(out, {"'nt' to nudge times", "'st' to scale times", "'av' to adjust volumes",
                     "'ps' to print to screen", "'pf' to print to file",
                     "'cf' to change number of time fields", "'co' to change ordering mode",
                     "'x' to exit"});
}

void BuildText(Session& session) {
    FaderModel& m = session.model;
    if (session.ordering == kByChannels)
        Format1(m.times, m.levels, m.ramps, m.counts, session.outputText, session.timeFields,
                m.header);
    else
        Format2(m.times, m.levels, m.ramps, m.counts, session.outputText, session.timeFields,
                m.header);
}

// Asks for the number of "nt", "st" or "av" and hands it to `apply`. An
// unreadable answer changes nothing; the end of input ends the dialogue.
template <typename Apply>
Flow AskNumber(Console& console, const char* prompt, Apply apply) {
    std::fprintf(console.out, "%s\n", prompt);
    float value = 0.0f;
    Answer got = ReadFloat(console, value);
    if (got == Answer::kEnd) return Flow::kEnd;
    if (got == Answer::kValue) apply(value);
    return Flow::kContinue;
}

Flow Nudge(Session& session, Console& console) {
    FaderModel& m = session.model;
    return AskNumber(console, "Enter nudge amount in seconds",
                     [&m](float d) { MoveTimes(m.times, m.counts, d); });
}

Flow Scale(Session& session, Console& console) {
    FaderModel& m = session.model;
    return AskNumber(console, "Enter scale factor (0.001 to 1000)", [&m](float k) {
        if (k >= 0.001 && k <= 1000) ScaleTimes(m.times, m.ramps, m.counts, k);
    });
}

Flow Adjust(Session& session, Console& console) {
    FaderModel& m = session.model;
    return AskNumber(console, "Enter change in dB",
                     [&m](float g) { AdjustVolumes(m.levels, m.counts, g); });
}

Flow PrintToScreen(Session& session, Console& console) {
    BuildText(session);
    std::fprintf(console.out, "\n%s\n", session.outputText.c_str());
    return Flow::kContinue;
}

Flow PrintToFile(Session& session, Console& console) {
    BuildText(session);
    std::fputs("Enter filename\n", console.out);
    std::string fileName;
    Answer got = ReadWord(console, fileName, kMaxFileNameLength);
    if (got == Answer::kEnd) return Flow::kEnd;
    if (got == Answer::kTooLong) {
        std::fprintf(console.out, "File name longer than %zu characters: not saved\n",
                     kMaxFileNameLength);
        return Flow::kContinue;
    }
    if (SaveFile(fileName, session.outputText, console) == SaveResult::kEndOfInput)
        return Flow::kEnd;
    return Flow::kContinue;
}

Flow ChangeFields(Session& session, Console& console) {
    std::fprintf(console.out, "Currently using %i time fields\n", session.timeFields);
    std::fputs("Enter new value (1-3)\n", console.out);
    int value = 0;
    Answer got = ReadInteger(console, value);
    if (got == Answer::kEnd) return Flow::kEnd;
    if (got == Answer::kValue)
        session.timeFields = (value >= 1 && value <= 3) ? value : kMinutesSecondsMillis;
    return Flow::kContinue;
}

Flow ChangeOrdering(Session& session, Console& console) {
    if (session.ordering == kByChannels)
        PrintLines(console.out, {"Currently ordered by channels",
                                 "Enter 's' to switch to ordering by times",
                                 "Enter 'k' to keep ordering by channels"});
    else
        PrintLines(console.out, {"Currently ordered by times",
                                 "Enter 's' to switch to ordering by channels",
                                 "Enter 'k' to keep ordering by times"});
    // The answer lands in the command word, so "x" here ends the program.
    if (ReadWord(console, session.command, kMaxCommandLength) == Answer::kEnd) return Flow::kEnd;
    if (session.command == "s") session.ordering = session.ordering == kByChannels ? kByTimes : kByChannels;
    return Flow::kContinue;
}

Flow RunCommand(Session& session, Console& console) {
    const std::string& c = session.command;
    if (c == "nt") return Nudge(session, console);
    if (c == "st") return Scale(session, console);
    if (c == "av") return Adjust(session, console);
    if (c == "ps") return PrintToScreen(session, console);
    if (c == "pf") return PrintToFile(session, console);
    if (c == "cf") return ChangeFields(session, console);
    if (c == "co") return ChangeOrdering(session, console);
    return Flow::kContinue;
}

// Loads the file named on the command line; false when the program must end.
bool Load(const std::string& path, Session& session, std::FILE* out) {
    if (path.size() > kMaxFileNameLength) {
        std::fprintf(out, "File name longer than %zu characters\n", kMaxFileNameLength);
        PrintHelp(out);
        return false;
    }
    std::vector<char> text;
    ReadStatus status = ReadFile(path, text, out);
    if (status == ReadStatus::kNotFound) PrintHelp(out);
    if (status != ReadStatus::kRead) return false;
    FaderModel& m = session.model;
    ParseBuffer(text.data(), m.times, m.levels, m.ramps, m.counts, session.timeFields, m.header,
                out);
    return true;
}

}  // namespace

void PrintUsage(std::FILE* out) {
    PrintLines(out, {"Usage: ostrand [fader file [time fields]]", "",
                     "Loads a fader file (default faders.txt) and offers a menu to nudge",
                     "or scale its times, adjust its volumes, change the number of time",
                     "fields (1, 2 or 3; default 3) or the ordering, and print or save it.",
                     "", "  -h, --help   print this help and exit",
                     "  --version    print the version line and exit", "",
                     "The dialogue is described in docs/ostrand.md."});
}

bool HandleInfoOptions(int argc, const char* const* argv, std::FILE* out, int& status) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            PrintUsage(out);
        } else if (arg == "--version") {
            std::fprintf(out, "%s\n", kVersionLine);
        } else {
            continue;
        }
        status = 0;
        return true;
    }
    return false;
}

void PrintHelp(std::FILE* out) {
    PrintLines(out, {"\nHelp:", "This program is used to adjust a file called faders.txt.",
                     "This is a file that controls the Varnel program.",
                     "\nYou can load in a different filename as the 1st argument.",
                     "\nYou can set the time fields with the 2nd argument.",
                     "1 = time in seconds", "2 = time in minutes and seconds",
                     "3 = time in minutes, seconds and milliseconds. (default)",
                     "You can change the fields after you have the correct fields to",
                     "load the file initially.",
                     "\nOnce the file is loaded correctly, you can scale times and volumes,",
                     "nudge times, and change formatting.\n"});
}

int RunAdjuster(int argc, const char* const* argv, Console& console) {
    int infoStatus = 0;
    if (HandleInfoOptions(argc, argv, console.out, infoStatus)) return infoStatus;
    std::fprintf(console.out, "\n%s\n", kVersionLine);
    // The tables are large; keep them off the stack.
    auto session = std::make_unique<Session>();
    std::string path = argc > 1 ? argv[1] : "faders.txt";
    if (argc > 2) {
        long fields = ReadDecimalInteger(argv[2]);
        session->timeFields = (fields >= 1 && fields <= 3) ? static_cast<int>(fields)
                                                           : kMinutesSecondsMillis;
    }
    if (!Load(path, *session, console.out)) return 1;
    PrintEntryCounts(session->model, console.out);

    while (session->command != "x") {
        PrintMenu(session->model, console.out);
        // Commands longer than the word holds are cut and so match nothing.
        if (ReadWord(console, session->command, kMaxCommandLength) == Answer::kEnd) break;
        if (RunCommand(*session, console) == Flow::kEnd) break;
    }
    std::fflush(console.out);
    return 0;
}

}  // namespace ostrand
