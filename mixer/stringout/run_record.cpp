#include "mixer/stringout/run_record.hpp"

namespace varnel {

namespace {

std::string Utc(std::time_t t, const char* format) {
    std::tm parts{};
    char text[64] = "";
    if (gmtime_r(&t, &parts) != nullptr) std::strftime(text, sizeof text, format, &parts);
    return text;
}

}  // namespace

std::string UtcText(std::time_t t) { return Utc(t, "%Y-%m-%d %H:%M:%S UTC"); }

std::string UtcIso(std::time_t t) { return Utc(t, "%Y-%m-%dT%H:%M:%SZ"); }

std::string RunRecordLines(const RunRecord& r) {
    std::string text = "\nRun record:\n";
    text += "Program = " + r.program + "\n";
    text += "Date = " + UtcText(r.started) + "\n";
    text += "Track list = " + r.trackList + "\n";
    text += "Fader file = " + r.faderFile + "\n";
    text += "Preferences = " + r.preferences + "\n";
    for (const RunRecordTrack& t : r.tracks) {
        text += "Track " + std::to_string(t.channel) + " = " + t.file;
        text += t.mixed ? ", " + std::to_string(t.bytes) + " bytes\n" : ", not mixed\n";
    }
    text += "Output = " + r.output + "\n";
    text += "Seed = " + std::to_string(r.seed) +
            (r.seedFromClock ? " (from the clock)\n" : " (from the preferences)\n");
    text += "Warnings = " + std::to_string(r.warnings.size()) + "\n";
    for (const std::string& w : r.warnings) text += w + "\n";
    return text;
}

}  // namespace varnel
