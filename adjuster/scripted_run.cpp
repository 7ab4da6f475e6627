// The scripted run: the editing options in their fixed order, then a save
// over the file (keeping the old one as .bak) or to -o, with no dialogue.
// Anything the dialogue would ask about is refused with status 2.
#include <memory>

#include "adjuster/command_loop.hpp"
#include "adjuster/operations.hpp"
#include "adjuster/save_file.hpp"
#include "adjuster/session.hpp"

namespace ostrand {

namespace {

constexpr int kRefused = 2;
constexpr double kSmallestScale = 0.001;
constexpr double kLargestScale = 1000.0;

// "1 entry", "2 entries".
std::string Count(int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool Refuse(std::FILE* out, const std::string& reason) {
    std::fprintf(out, "%s\n", reason.c_str());
    return false;
}

// Applies the edits in their order, printing what each changed; false after
// the first refusal.
bool ApplyEdits(const CommandLine& cl, Session& session, std::FILE* out) {
    FaderModel& m = session.model;
    if (TimesMisread(session))
        return Refuse(out, "Refused: give the number of time fields of the t lines with --fields");
    if ((cl.nudge || cl.scale) && m.hasTempoMap)
        return Refuse(out,
                      "Refused: the times may be bars and beats; nudge or scale them in the "
                      "dialogue, which asks first");
    if (cl.nudge) {
        EditOutcome o = MoveTimes(m, cl.nudgeSeconds);
        if (o.refused) return Refuse(out, o.reason);
        std::fprintf(out, "Nudged %s by %g s\n", Count(o.entries, "entry", "entries").c_str(),
                     cl.nudgeSeconds);
    }
    if (cl.scale) {
        if (!(cl.scaleFactor >= kSmallestScale && cl.scaleFactor <= kLargestScale))
            return Refuse(out, "Refused: the scale factor must lie between 0.001 and 1000.");
        EditOutcome o = ScaleTimes(m, cl.scaleFactor);
        if (o.refused) return Refuse(out, o.reason);
        std::fprintf(out, "Scaled %s and %s by %g\n", Count(o.entries, "entry", "entries").c_str(),
                     Count(o.ramps, "ramp or offset", "ramps and offsets").c_str(), cl.scaleFactor);
    }
    if (cl.gain) {
        EditOutcome o = AdjustVolumes(m, cl.gainDb);
        if (o.refused) return Refuse(out, o.reason);
        std::fprintf(out, "Changed %s by %g dB\n", Count(o.entries, "level", "levels").c_str(),
                     cl.gainDb);
    }
    if (cl.channelGain) {
        EditOutcome o = AdjustChannelVolumes(m, cl.channelGainDb);
        if (o.refused) return Refuse(out, o.reason);
        std::fprintf(out, "Changed %s by %g dB\n",
                     Count(o.entries, "channel level", "channel levels").c_str(), cl.channelGainDb);
    }
    if (cl.ordering != 0) {
        session.ordering = cl.ordering;
        std::fprintf(out, "Ordered by %s\n", cl.ordering == kByChannels ? "channels" : "times");
    }
    return true;
}

}  // namespace

int RunScripted(const CommandLine& commandLine, Console& console) {
    std::FILE* out = console.out;
    if (!commandLine.error.empty()) {
        std::fprintf(out, "ostrand: %s (see ostrand --help)\n", commandLine.error.c_str());
        return kRefused;
    }
    auto session = std::make_unique<Session>();
    session->path = FilePath(commandLine);
    session->timeFields = TimeFieldsSetting(commandLine);
    if (!LoadSession(*session, out, false)) return 1;
    PrintLoadNotes(*session, out);
    if (!ApplyEdits(commandLine, *session, out)) return kRefused;
    BuildText(*session);
    const std::string& target = commandLine.output.empty() ? session->path : commandLine.output;
    SaveResult saved = SaveFile(target, session->outputText, console, Overwrite::kAllow);
    std::fflush(out);
    return saved == SaveResult::kWritten ? 0 : kRefused;
}

}  // namespace ostrand
