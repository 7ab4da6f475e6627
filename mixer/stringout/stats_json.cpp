#include "mixer/stringout/stats_json.hpp"

#include "mixer/stringout/json_writer.hpp"
#include "mixer/utilities/limits.hpp"

namespace varnel {

namespace {

template <typename T>
T At(std::span<const T> table, int index) {
    return index >= 0 && size_t(index) < table.size() ? table[size_t(index)] : T{};
}

// dB figures with the text report's two decimals.
void DbPair(JsonWriter& w, const char* key, const SidesDb& db) {
    JsonKey(w, key);
    JsonBeginObject(w);
    JsonKey(w, "left");
    JsonNumber(w, db.left, 2);
    JsonKey(w, "right");
    JsonNumber(w, db.right, 2);
    JsonEnd(w);
}

double Seconds(int64_t samples, uint32_t rate) { return rate > 0 ? double(samples) / rate : 0.0; }

// A sample position as the sample number and as seconds (null for none).
void Position(JsonWriter& w, const char* prefix, int64_t sample, uint32_t rate) {
    JsonKey(w, std::string(prefix) + "sample");
    if (sample < 0) JsonNull(w); else JsonInteger(w, sample);
    JsonKey(w, std::string(prefix) + "seconds");
    if (sample < 0) JsonNull(w); else JsonNumber(w, Seconds(sample, rate), 3);
}

void Strip(JsonWriter& w, const char* kind, int number, const std::string& name, const SidesDb& db) {
    JsonBeginObject(w);
    JsonKey(w, "kind");
    JsonString(w, kind);
    JsonKey(w, "number");
    if (number > 0) JsonInteger(w, number); else JsonNull(w);
    JsonKey(w, "name");
    JsonString(w, name);
    DbPair(w, "peak_db", db);
}

void Strips(JsonWriter& w, const ReportInputs& in) {
    JsonKey(w, "strips");
    JsonBeginArray(w);
    for (int ch = 1; ch < in.channelsPlusOne; ++ch) {
        if (At(in.hasFile, ch) == 0) continue;
        const size_t row = size_t(ch - 1);
        Strip(w, "channel", ch, row < in.trackNames.size() ? ReportTrackName(in.trackNames[row]) : "",
              SlotPeakDb(in, ch));
        JsonKey(w, "clipped");
        JsonBool(w, At(in.clipFlags, ch) == 1);
        JsonEnd(w);
    }
    const struct {
        bool on;
        int slot;
        const char* name;
    } sends[] = {{in.roomReverbOn != 0 || in.masterToRoom != 0, kRevSendSlot, "Rev"},
                 {in.tapReverbOn != 0 || in.masterToTap != 0, kTapSendSlot, "Trev"}};
    for (const auto& send : sends) {
        if (!send.on) continue;
        const SidesDb db = SlotPeakDb(in, send.slot);
        Strip(w, "send", 0, send.name, db);
        JsonKey(w, "over");
        JsonBool(w, db.Over());
        JsonEnd(w);
    }
    for (int k = 1; k < kBuses; ++k) {
        if (At(in.busActive, k) == 0) continue;
        Strip(w, "submix", k, "Sub " + std::to_string(k), SlotPeakDb(in, kSubmixBase + k));
        JsonKey(w, "clipped");
        JsonBool(w, At(in.clipFlags, kSubmixBase + k) == 1);
        JsonEnd(w);
    }
    JsonBeginObject(w);
    JsonKey(w, "kind");
    JsonString(w, "master");
    JsonKey(w, "number");
    JsonNull(w);
    JsonKey(w, "name");
    JsonString(w, "Master");
    JsonKey(w, "clipped");
    JsonBool(w, At(in.clipFlags, 0) == 1);
    JsonEnd(w);
    JsonEnd(w);
}

void Record(JsonWriter& w, const RunRecord& r) {
    JsonKey(w, "run");
    JsonBeginObject(w);
    JsonKey(w, "program");
    JsonString(w, r.program);
    JsonKey(w, "date");
    JsonString(w, UtcIso(r.started));
    JsonKey(w, "track_list");
    JsonString(w, r.trackList);
    JsonKey(w, "fader_file");
    JsonString(w, r.faderFile);
    JsonKey(w, "preferences");
    JsonString(w, r.preferences);
    JsonKey(w, "tracks");
    JsonBeginArray(w);
    for (const RunRecordTrack& t : r.tracks) {
        JsonBeginObject(w);
        JsonKey(w, "channel");
        JsonInteger(w, t.channel);
        JsonKey(w, "file");
        JsonString(w, t.file);
        JsonKey(w, "mixed");
        JsonBool(w, t.mixed);
        JsonKey(w, "bytes");
        if (t.mixed) JsonInteger(w, t.bytes); else JsonNull(w);
        JsonEnd(w);
    }
    JsonEnd(w);
    JsonKey(w, "output_file");
    JsonString(w, r.output);
    JsonKey(w, "seed");
    JsonInteger(w, r.seed);
    JsonKey(w, "seed_from");
    JsonString(w, r.seedFromClock ? "clock" : "preferences");
    JsonKey(w, "warnings");
    JsonBeginArray(w);
    for (const std::string& warning : r.warnings) JsonString(w, warning);
    JsonEnd(w);
    JsonEnd(w);
}

// The "lufs" target's figures as its report line and warning give them;
// null without a target.
void Target(JsonWriter& w, const LoudnessTarget& t) {
    if (!t.set) {
        JsonNull(w);
        return;
    }
    JsonBeginObject(w);
    JsonKey(w, "target_lufs");
    JsonNumber(w, t.target, 1);
    JsonKey(w, "ceiling_dbtp");
    JsonNumber(w, t.ceiling, 1);
    JsonKey(w, "gain_db");
    JsonNumber(w, t.gainDb, 2);
    JsonKey(w, "reached");
    JsonBool(w, !t.capped && !t.silent);
    JsonKey(w, "capped");
    JsonBool(w, t.capped);
    JsonKey(w, "silent");
    JsonBool(w, t.silent);
    // The loudness the ceiling allows, when it held the gain back.
    JsonKey(w, "allowed_lufs");
    if (t.capped) JsonNumber(w, ReachedLoudness(t), 1); else JsonNull(w);
    JsonEnd(w);
}

void Output(JsonWriter& w, const ReportInputs& in, const StatsJsonFacts& facts) {
    JsonKey(w, "output");
    JsonBeginObject(w);
    JsonKey(w, "format");
    JsonBeginObject(w);
    JsonKey(w, "bits");
    JsonInteger(w, in.outBits);
    JsonKey(w, "channels");
    JsonInteger(w, facts.outChannels);
    JsonKey(w, "rate");
    JsonInteger(w, in.rate);
    JsonEnd(w);

    JsonKey(w, "window");
    JsonBeginObject(w);
    Position(w, "start_", facts.windowStart, in.rate);
    JsonKey(w, "length_samples");
    JsonInteger(w, facts.windowLength);
    JsonKey(w, "length_seconds");
    JsonNumber(w, Seconds(facts.windowLength, in.rate), 3);
    JsonEnd(w);

    const SidesDb peak = OutputPeakDb(in);
    JsonKey(w, "peak");
    JsonBeginObject(w);
    const struct {
        const char* side;
        double db;
        int64_t at;
    } sides[] = {{"left", peak.left, in.peakOutPosL}, {"right", peak.right, in.peakOutPosR}};
    for (const auto& s : sides) {
        JsonKey(w, s.side);
        JsonBeginObject(w);
        JsonKey(w, "db");
        JsonNumber(w, s.db, 2);
        Position(w, "", s.at, in.rate);
        JsonEnd(w);
    }
    JsonEnd(w);

    DbPair(w, "rms_db", RmsDb(in));

    JsonKey(w, "clipped_samples");
    JsonBeginObject(w);
    JsonKey(w, "total");
    JsonInteger(w, in.outputClips.total);
    JsonKey(w, "left");
    JsonInteger(w, in.outputClips.left);
    JsonKey(w, "right");
    JsonInteger(w, in.outputClips.right);
    Position(w, "first_", in.outputClips.total > 0 ? in.outputClips.first : -1, in.rate);
    JsonEnd(w);

    JsonKey(w, "loudness");
    if (!in.hasLoudness) {
        JsonNull(w);
    } else {
        JsonBeginObject(w);
        JsonKey(w, "integrated_lufs");
        JsonNumber(w, in.loudness.integrated, 1);
        JsonKey(w, "range_lu");
        JsonNumber(w, in.loudness.range, 1);
        JsonKey(w, "true_peak_dbtp");
        JsonBeginObject(w);
        JsonKey(w, "left");
        JsonNumber(w, in.loudness.truePeakL, 1);
        JsonKey(w, "right");
        JsonNumber(w, in.loudness.truePeakR, 1);
        JsonEnd(w);
        JsonEnd(w);
    }
    JsonKey(w, "loudness_target");
    Target(w, in.target);
    JsonEnd(w);
}

}  // namespace

std::string StatsJsonFileName(const std::string& dirPrefix, const std::string& name) {
    return dirPrefix + "stats_" + name + ".json";
}

std::string StatsJson(const ReportInputs& in, const RunRecord& record, const StatsJsonFacts& facts) {
    JsonWriter w;
    JsonBeginObject(w);
    JsonKey(w, "version");
    JsonInteger(w, kStatsJsonVersion);
    JsonKey(w, "mix");
    JsonString(w, facts.mixName);
    Record(w, record);
    Strips(w, in);
    Output(w, in, facts);
    JsonKey(w, "processing_seconds");
    JsonNumber(w, double(facts.processingSeconds), 2);
    JsonKey(w, "threads_used");
    JsonInteger(w, in.threads > 1 ? in.threads : 1);
    JsonEnd(w);
    return w.text;
}

}  // namespace varnel
