#include "adjuster/command_loop.hpp"

#include <memory>
#include <string>

#include "adjuster/operations.hpp"
#include "adjuster/save_file.hpp"
#include "adjuster/session.hpp"
#include "adjuster/temporary_cleanup.hpp"

namespace ostrand {

namespace {

// What a command did to the dialogue: go on, or stop as if "x" was typed.
enum class Flow { kContinue, kEnd };

// The answer to a "type 'o'" question.
enum class Gate { kGoOn, kCancel, kEnd };

constexpr double kSmallestScale = 0.001;
constexpr double kLargestScale = 1000.0;

void PrintLines(std::FILE* out, std::initializer_list<const char*> lines) {
    for (const char* line : lines) std::fprintf(out, "%s\n", line);
}

void PrintMenu(const FaderModel& model, std::FILE* out) {
    std::fputs("\n", out);
    double last = FindMax(model);
    double first = FindMin(model, last);
    std::fprintf(out, "First time at %.3f\n", first);
    std::fprintf(out, "Last time at  %.3f\n", last);
    std::fputs("\n", out);
    PrintLines(out, {"'nt' to nudge times", "'st' to scale times", "'av' to adjust volumes",
                     "'ac' to adjust channel volumes", "'ps' to print to screen",
                     "'pf' to print to file", "'cf' to change number of time fields",
                     "'co' to change ordering mode", "'x' to exit"});
}

Gate AskToGoOn(Console& console, const std::string& message, const char* question) {
    std::fprintf(console.out, "%s%s\n", message.c_str(), question);
    std::string answer;
    Answer got = ReadWord(console, answer, kMaxCommandLength);
    if (got == Answer::kEnd) return Gate::kEnd;
    return (got == Answer::kValue && answer == "o") ? Gate::kGoOn : Gate::kCancel;
}

// Before times are moved or saved: misread times, and bars and beats that a
// nudge or scale would treat as minutes and seconds, go on only after "o".
Gate CheckTimes(Session& session, Console& console, bool moving) {
    if (TimesMisread(session)) {
        Gate gate = AskToGoOn(console, MisreadMessage(session),
                              "Type 'o' to use the times as read, or any other key to cancel "
                              "('cf' sets the time fields)");
        if (gate != Gate::kGoOn) return gate;
        session.timesConfirmed = true;
    }
    if (moving && session.model.hasTempoMap && !session.tempoConfirmed) {
        Gate gate = AskToGoOn(console,
                              "The t lines may count bars and beats, which a nudge or scale "
                              "treats as minutes and seconds\n",
                              "Type 'o' to go on or any other key to cancel");
        if (gate != Gate::kGoOn) return gate;
        session.tempoConfirmed = true;
    }
    return Gate::kGoOn;
}

void Report(const EditOutcome& outcome, std::FILE* out) {
    if (outcome.refused) std::fprintf(out, "%s\n", outcome.reason.c_str());
}

// Asks for the number of "nt", "st", "av" or "ac" and hands it to `apply`.
// An unreadable answer changes nothing; the end of input ends the dialogue.
template <typename Apply>
Flow AskNumber(Console& console, const char* prompt, Apply apply) {
    std::fprintf(console.out, "%s\n", prompt);
    double value = 0.0;
    Answer got = ReadNumber(console, value);
    if (got == Answer::kEnd) return Flow::kEnd;
    if (got == Answer::kValue) apply(value);
    return Flow::kContinue;
}

Flow Nudge(Session& session, Console& console) {
    Gate gate = CheckTimes(session, console, true);
    if (gate != Gate::kGoOn) return gate == Gate::kEnd ? Flow::kEnd : Flow::kContinue;
    return AskNumber(console, "Enter nudge amount in seconds",
                     [&](double d) { Report(MoveTimes(session.model, d), console.out); });
}

Flow Scale(Session& session, Console& console) {
    Gate gate = CheckTimes(session, console, true);
    if (gate != Gate::kGoOn) return gate == Gate::kEnd ? Flow::kEnd : Flow::kContinue;
    return AskNumber(console, "Enter scale factor (0.001 to 1000)", [&](double k) {
        if (k >= kSmallestScale && k <= kLargestScale)
            Report(ScaleTimes(session.model, k), console.out);
    });
}

Flow Adjust(Session& session, Console& console) {
    return AskNumber(console,
                     "Enter change in dB (every fader: channels, submixes, VCAs and the master)",
                     [&](double g) { Report(AdjustVolumes(session.model, g), console.out); });
}

Flow AdjustChannels(Session& session, Console& console) {
    return AskNumber(console, "Enter change in dB (channel faders only)", [&](double g) {
        Report(AdjustChannelVolumes(session.model, g), console.out);
    });
}

Flow PrintToScreen(Session& session, Console& console) {
    BuildText(session);
    std::fprintf(console.out, "\n%s\n", session.outputText.c_str());
    return Flow::kContinue;
}

Flow PrintToFile(Session& session, Console& console) {
    Gate gate = CheckTimes(session, console, false);
    if (gate != Gate::kGoOn) return gate == Gate::kEnd ? Flow::kEnd : Flow::kContinue;
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
    if (got != Answer::kValue) return Flow::kContinue;
    int fields = (value >= 1 && value <= 3) ? value : kMinutesSecondsMillis;
    // Misread times are read again; otherwise the count only changes how
    // times are written.
    if (TimesMisread(session) && fields != session.model.readFields) {
        RereadTimes(session, fields);
        std::fprintf(console.out, "The times were read again with %i time field%s\n", fields,
                     fields == 1 ? "" : "s");
    }
    session.timeFields = fields;
    return Flow::kContinue;
}

Flow ChangeOrdering(Session& session, Console& console) {
    if (session.ordering == kByChannels)
        PrintLines(console.out,
                   {"Currently ordered by channels", "Enter 's' to switch to ordering by times",
                    "Enter 'k' to keep ordering by channels"});
    else
        PrintLines(console.out,
                   {"Currently ordered by times", "Enter 's' to switch to ordering by channels",
                    "Enter 'k' to keep ordering by times"});
    // The answer lands in the command word, so "x" here ends the program.
    if (ReadWord(console, session.command, kMaxCommandLength) == Answer::kEnd) return Flow::kEnd;
    if (session.command == "s")
        session.ordering = session.ordering == kByChannels ? kByTimes : kByChannels;
    return Flow::kContinue;
}

Flow RunCommand(Session& session, Console& console) {
    const std::string& c = session.command;
    if (c == "nt") return Nudge(session, console);
    if (c == "st") return Scale(session, console);
    if (c == "av") return Adjust(session, console);
    if (c == "ac") return AdjustChannels(session, console);
    if (c == "ps") return PrintToScreen(session, console);
    if (c == "pf") return PrintToFile(session, console);
    if (c == "cf") return ChangeFields(session, console);
    if (c == "co") return ChangeOrdering(session, console);
    return Flow::kContinue;
}

}  // namespace

int RunDialogue(const CommandLine& commandLine, Console& console) {
    std::fprintf(console.out, "\n%s\n", kVersionLine);
    // The model can be large; keep it off the stack.
    auto session = std::make_unique<Session>();
    session->path = FilePath(commandLine);
    session->timeFields = TimeFieldsSetting(commandLine);
    if (!LoadSession(*session, console.out, true)) return 1;
    PrintLoadNotes(*session, console.out);
    if (TimesMisread(*session))
        std::fputs("Use 'cf' to set the time fields before saving\n", console.out);
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

int RunAdjuster(int argc, const char* const* argv, Console& console) {
    CommandLine commandLine = ParseCommandLine(argc, argv);
    if (commandLine.help) {
        PrintUsage(console.out);
        return 0;
    }
    if (commandLine.version) {
        std::fprintf(console.out, "%s\n", kVersionLine);
        return 0;
    }
    InstallTemporaryCleanup();
    if (commandLine.scripted) return RunScripted(commandLine, console);
    return RunDialogue(commandLine, console);
}

}  // namespace ostrand
