#include "mixer/run/driver.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include "mixer/effects/discrete_reverb.hpp"
#include "mixer/effects/recurse_reverb.hpp"
#include "mixer/run/check_summary.hpp"
#include "mixer/run/command_line.hpp"
#include "mixer/run/effect_chain.hpp"
#include "mixer/run/input_stage.hpp"
#include "mixer/run/mix_buffers.hpp"
#include "mixer/run/mix_loop.hpp"
#include "mixer/run/output_checks.hpp"
#include "mixer/run/prefs.hpp"
#include "mixer/run/report_columns.hpp"
#include "mixer/run/report_figures.hpp"
#include "mixer/run/run_outputs.hpp"
#include "mixer/run/script_context.hpp"
#include "mixer/run/threaded_pass.hpp"
#include "mixer/run/track_list.hpp"
#include "mixer/stringout/html_report.hpp"
#include "mixer/stringout/loudness_lines.hpp"
#include "mixer/stringout/report.hpp"
#include "mixer/stringout/run_record.hpp"
#include "mixer/stringout/stats_json.hpp"
#include "mixer/utilities/effect_settings/effect_settings.hpp"
#include "mixer/utilities/fader_script/fader_file.hpp"
#include "mixer/utilities/fader_script/fader_tables.hpp"
#include "mixer/utilities/fader_script/level_entries.hpp"
#include "mixer/utilities/limits.hpp"
#include "mixer/utilities/metering/loudness_target.hpp"
#include "mixer/utilities/wav/output_file.hpp"
#include "mixer/utilities/fader_script/playback_init.hpp"
#include "mixer/utilities/fader_script/routing.hpp"
#include "mixer/utilities/fader_script/start_offsets.hpp"
#include "mixer/utilities/fader_script/time_entries.hpp"
#include "mixer/utilities/fader_script/tempo_map.hpp"
#include "mixer/utilities/wav/wav_reader.hpp"
#include "mixer/utilities/wav/wav_writer.hpp"

namespace varnel {

namespace {

// Where each output sits in the run's output table (-1 when the run has none).
struct OutputIndex {
    int mix = -1;        // the mix or the preview
    int tap = -1;        // the reverb tap file
    int stats = -1;      // "stats_<name>.txt"
    int faderCopy = -1;  // "faders_<name>.txt"
    int html = -1;       // "report_<name>.html", with "html on"
    int json = -1;       // "stats_<name>.json"
};

// Everything the run owns; one instance lives for the whole run.
struct RunTables {
    Diagnostics diag;  // every warning of the run
    Prefs prefs;
    TrackList tracks;
    TextFile faders;
    TrackHeaders headers;
    InputStage input;
    ScriptContext script;
    StartOffsets offsets{};
    Routing routing;
    TimeBase timeBase;
    FaderTables faderTables;
    VcaTables vcaTables;
    FaderSettings faderSettings;
    Playback playback;
    AutomateState automate;
    EffectSettings fx;
    ProcessorStates processors;
    MixBuffers buffers;
    MixMeters meters;
    OutputColumns columns;  // the HTML report's view of the output, with "html on"
    RunOutputs outputs;  // every file the run writes
    OutputIndex outIndex;
    OutputFile out;
    OutputFile tap;
    DitherRandom dither;  // the dither's generator
    uint32_t ditherSeed = 0;  // the seed in use: "seed", else the clock's
    std::time_t started = 0;  // wall-clock time of the start, for the run record
    std::vector<std::string> paths;  // current track path per channel
    LoudnessTarget target;  // "lufs": the first pass's figures and the gain
    ChannelThreads threads;          // last: its workers stop before the rest goes
};

// The tables a pass over the window changes, as they were before the first
// pass of a loudness target, so that the second starts exactly alike. The
// input files stay open: every block is read from its own position.
struct PassStart {
    InputStage input;
    Playback playback;
    AutomateState automate;
    ProcessorStates processors;
    FaderTables faderTables;
    VcaTables vcaTables;
    Routing routing;
    FaderSettings faderSettings;
    MixMeters meters;
};

PassStart TakePassStart(const RunTables& r) {
    return {r.input,       r.playback,  r.automate, r.processors,    r.faderTables,
            r.vcaTables,   r.routing,   r.faderSettings, r.meters};
}

void RestorePassStart(RunTables& r, PassStart& s) {
    r.input = std::move(s.input);
    r.playback = std::move(s.playback);
    r.automate = std::move(s.automate);
    r.processors = std::move(s.processors);
    r.faderTables = std::move(s.faderTables);
    r.vcaTables = std::move(s.vcaTables);
    r.routing = std::move(s.routing);
    r.faderSettings = std::move(s.faderSettings);
    r.meters = std::move(s.meters);
}

// Every file the run reads, for the check that no output replaces one: each
// track of the list whatever its switch, and the three text files.
std::vector<RunInput> RunInputs(const RunTables& r, const CommandLine& names) {
    std::vector<RunInput> inputs;
    for (int ch = 1; ch <= r.tracks.count && ch < kChannelTable; ++ch)
        if (!r.paths[size_t(ch)].empty())
            inputs.push_back({"track of channel " + std::to_string(ch), r.paths[size_t(ch)]});
    inputs.push_back({"track list", names.tracks});
    inputs.push_back({"fader file", names.faders});
    inputs.push_back({"preferences file", names.prefs});
    return inputs;
}

// Plans and checks every output of the run against the inputs and each
// other; nothing is written.
int PlanOutputs(RunTables& r, const CommandLine& names) {
    const Prefs& p = r.prefs;
    const ReverbSettings& rv = r.fx.reverb;
    // A preview's reports are named after the preview, so they never
    // replace the reports of the full mix beside them.
    const std::string reportName = p.preview ? "preview" : p.mixName;
    const std::string reportDir = p.bakDirSet ? p.bakDir : std::string();
    RunOutputs& o = r.outputs;
    OutputIndex& at = r.outIndex;
    at.mix = AddRunOutput(o, p.preview ? "preview file" : "mix file", p.outputName);
    if (rv.tapMode != 0 && (rv.roomActive || r.fx.master.sendsRev))
        at.tap = AddRunOutput(o, "tap file", rv.tapFileName);
    at.stats = AddRunOutput(o, "statistics file", StatsFileName(reportDir, reportName));
    at.faderCopy = AddRunOutput(o, "fader file copy", FaderCopyFileName(reportDir, reportName));
    if (p.htmlReport) at.html = AddRunOutput(o, "HTML report", HtmlReportFileName(reportDir, reportName));
    at.json = AddRunOutput(o, "JSON report", StatsJsonFileName(reportDir, reportName));

    const std::vector<RunInput> inputs = RunInputs(r, names);
    return CheckRunOutputs(o, inputs);
}

// Creates every planned output, all before the mix starts, then writes the
// audio headers. A refusal leaves nothing on disk.
int CreateOutputs(RunTables& r, uint32_t rate, const MixWindow& window) {
    const Prefs& p = r.prefs;
    const ReverbSettings& rv = r.fx.reverb;
    RunOutputs& o = r.outputs;
    const OutputIndex& at = r.outIndex;
    if (int st = CreateRunOutputs(o)) return st;

    const int outChannels = p.mono ? 1 : 2;
    if (!StartOutputFile(r.out, TakeOutputDescriptor(o, at.mix), p.outputName, rate, p.outBits,
                         outChannels, window.length))
        return 2;
    if (at.tap >= 0 && !StartOutputFile(r.tap, TakeOutputDescriptor(o, at.tap), rv.tapFileName,
                                        rate, 24, 2, window.length))
        return 2;
    return 0;
}

// The track list, for messages about a channel's line (shown at any verbosity).
ScanText TracksText(RunTables& r) { return ScanOf(r.tracks.file, &r.diag, true); }

// A header message names the track's file: the track list's line goes in
// front, and the file's path too when the message does not hold it.
void ReportTrack(RunTables& r, int ch, const std::string& path, std::string why) {
    if (why.find(path) == std::string::npos) {
        const size_t lead = why.find_first_not_of('\n');
        why.insert(lead == std::string::npos ? why.size() : lead, path + ": ");
    }
    LineMessage(TracksText(r), r.tracks.line[size_t(ch)], why);
    r.tracks.reason[size_t(ch)] = OneLine(why);
    r.tracks.enabled[ch] = 0;
}

int ReadHeaders(RunTables& r) {
    r.paths.assign(kChannelTable, std::string());
    for (int ch = 1; ch <= r.tracks.count; ++ch) {
        std::string path = TrackPath(r.prefs.wavDir, r.prefs.wavDirSet, r.tracks.names[size_t(ch)]);
        r.paths[size_t(ch)] = path;
        if (!r.tracks.enabled[ch]) continue;
        if (path.size() > size_t(kMaxPathChars)) {
            char text[96];
            std::snprintf(text, sizeof text, "The path of channel %i is longer than %i characters: ", ch,
                          kMaxPathChars);
            ReportTrack(r, ch, path, text + path + "\n");
            continue;
        }
        std::string why;
        if (GET_ATTRIBUTES(ch, path, r.headers, &why) == 0) ReportTrack(r, ch, path, why);
    }
    if (r.prefs.verbosity == 2) std::puts("Read file headers.");
    return 0;
}

int CheckSampleRates(RunTables& r, uint32_t& rate) {
    int first = 0;
    for (int ch = 1; ch <= r.tracks.count; ++ch) {
        if (!r.tracks.enabled[ch]) continue;
        if (first == 0) {
            first = ch;
            rate = r.headers.rate[size_t(ch)];
        } else if (r.headers.rate[size_t(ch)] != rate) {
            std::printf("The sample rate appears to be %li\n", long(rate));
            char text[160];
            std::snprintf(text, sizeof text,
                          "The file assigned to channel %i has a different rate! (%s: %u Hz)\n", ch,
                          r.paths[size_t(ch)].c_str(), r.headers.rate[size_t(ch)]);
            LineError(TracksText(r), r.tracks.line[size_t(ch)], text);
            return 1;
        }
    }
    return 0;
}

// No channel left to mix: says why for each.
int RefuseEmptyMix(RunTables& r) {
    std::puts("Error: no track of the track list can be mixed.");
    const ScanText src = TracksText(r);
    if (r.tracks.count == 0) std::printf("%s holds no track line.\n", r.tracks.file.name.c_str());
    for (int ch = 1; ch <= r.tracks.count; ++ch) {
        const std::string& why = r.tracks.reason[size_t(ch)];
        std::printf("%schannel %d (%s): %s\n", Location(src, r.tracks.line[size_t(ch)]).c_str(), ch,
                    r.tracks.names[size_t(ch)].c_str(), why.empty() ? "not mixed" : why.c_str());
    }
    return 2;
}

// What the mix was made from and how, for the ends of both reports. Every
// warning of the run is in the diagnostics record by now.
RunRecord MakeRunRecord(const RunTables& r, const CommandLine& cl) {
    RunRecord rec;
    rec.program = kVersionLine;
    rec.started = r.started;
    rec.trackList = cl.tracks;
    rec.faderFile = cl.faders;
    rec.preferences = cl.prefs;
    for (int ch = 1; ch <= r.tracks.count && ch < kChannelTable; ++ch) {
        RunRecordTrack t;
        t.channel = ch;
        t.file = r.paths[size_t(ch)];
        t.mixed = r.tracks.enabled[ch] != 0;
        std::error_code error;
        const auto bytes = t.mixed ? std::filesystem::file_size(t.file, error) : 0;
        t.bytes = t.mixed && !error ? int64_t(bytes) : -1;
        rec.tracks.push_back(t);
    }
    rec.output = r.prefs.outputName;
    rec.seed = r.ditherSeed;
    rec.seedFromClock = !r.prefs.seedSet;
    for (const Warning& w : r.diag.warnings) rec.warnings.push_back(w.text);
    return rec;
}

// Phases 21 and 22 share their end: close, write the reports, put every
// output in place, announce, launch.
int FinishRun(RunTables& r, const CommandLine& cl, std::clock_t startClock, uint32_t rate,
              const MixWindow& window) {
    StopWorkerPool(r.threads.pool);
    bool ok = CloseOutputFile(r.out);
    if (ok) MarkOutputWritten(r.outputs, r.outIndex.mix);
    CloseInputFiles(r.input);
    if (r.outIndex.tap >= 0) {
        if (CloseOutputFile(r.tap)) MarkOutputWritten(r.outputs, r.outIndex.tap);
        else ok = false;
    }
    if (!ok) return 2;

    ReportInputs rep;
    rep.peakOutL = r.meters.peakOutL;
    rep.peakOutR = r.meters.peakOutR;
    rep.peakOutPosL = r.meters.peakOutPosL;
    rep.peakOutPosR = r.meters.peakOutPosR;
    rep.rmsSumL = r.meters.rmsSumL;
    rep.rmsSumR = r.meters.rmsSumR;
    rep.rmsCountL = r.meters.rmsWindowsL;
    rep.rmsCountR = r.meters.rmsWindowsR;
    rep.rate = rate;
    rep.trackNames = r.tracks.storedNames;
    rep.peakL = r.meters.peakL;
    rep.peakR = r.meters.peakR;
    rep.hasFile = r.tracks.enabled;
    rep.roomReverbOn = r.fx.reverb.roomActive;
    rep.tapReverbOn = r.fx.reverb.tapActive;
    rep.masterToRoom = r.fx.master.sendsRev;
    rep.masterToTap = r.fx.master.sendsTrev;
    rep.busActive = std::span<const int>(r.routing.busActive.data(), kBuses);
    rep.clipFlags = r.meters.clip;
    rep.startClock = startClock;
    rep.outBits = r.prefs.outBits;
    rep.faderText = r.faders.content;  // the script body as used: from "begin" on, spaces removed
    rep.verbosity = r.prefs.verbosity;
    rep.channelsPlusOne = r.tracks.count + 1;
    rep.hasLoudness = true;
    rep.loudness = LoudnessResult(r.meters.loudness);
    rep.target = r.target;
    rep.outputClips = r.meters.outputClips;
    rep.threads = ThreadsInUse(r.threads);
    const ReportTexts report = ComposeReport(rep);
    // A target not reached and the clipping of the written samples are
    // warnings of the run; the console report prints them. Every report
    // lists the warnings from the record.
    for (const std::string& warning :
         {LoudnessTargetWarning(rep.target), OutputClipWarning(rep.outputClips, rate)}) {
        if (warning.empty()) continue;
        AddWarning(r.diag, "", 0, warning, false);
        r.diag.warnings.back().printed = true;
    }
    const RunRecord record = MakeRunRecord(r, cl);
    StatsJsonFacts facts;
    facts.mixName = r.prefs.mixName;
    facts.outChannels = r.prefs.mono ? 1 : 2;
    facts.windowStart = window.start;
    facts.windowLength = window.length;
    facts.processingSeconds = report.processingSeconds;
    if (!WriteRunOutput(r.outputs, r.outIndex.stats, report.stats + RunRecordLines(record))) return 2;
    if (!WriteRunOutput(r.outputs, r.outIndex.faderCopy, report.faderCopy)) return 2;
    if (!WriteRunOutput(r.outputs, r.outIndex.json, StatsJson(rep, record, facts))) return 2;
    if (r.outIndex.html >= 0) {
        HtmlSources h;
        h.prefs = &r.prefs;
        h.tracks = &r.tracks;
        h.script = &r.script;
        h.faders = &r.faderTables;
        h.vcas = &r.vcaTables;
        h.settings = &r.faderSettings;
        h.routing = &r.routing;
        h.fx = &r.fx;
        h.meters = &r.meters;
        h.columns = &r.columns;
        h.diag = &r.diag;
        h.rate = rate;
        h.window = window;
        h.songLength = r.script.songLength;
        h.hasDitherSeed = r.prefs.dither != 0;  // without dither the seed plays no part
        h.ditherSeed = r.ditherSeed;
        h.date = r.started;  // the run record's date
        h.loudness = rep.loudness;
        h.target = rep.target;
        if (!WriteRunOutput(r.outputs, r.outIndex.html, HtmlReportPage(BuildHtmlFigures(h))))
            return 2;
    }

    // Every output is complete: all of them take their places at once.
    if (int st = CommitRunOutputs(r.outputs)) return st;
    if (r.prefs.verbosity > 0) std::printf("\nDone!  Created the file: %s\n\n", r.prefs.outputName.c_str());
    std::fputs(report.console.c_str(), stdout);
    std::fflush(stdout);

    if (r.prefs.launchSet) {
        std::fflush(stdout);
        int ignored = std::system(r.prefs.launch.c_str());
        (void)ignored;
    }
    return 0;
}

// The reverbs' rooms are built at the first block of the mix; a room that
// cannot be built ends the run there. The same checks, before anything is
// written, for the reverbs the first block would set up.
int CheckReverbRooms(const RunTables& r, uint32_t rate, const MixWindow& window) {
    const ReverbSettings& rv = r.fx.reverb;
    const MasterFlags& m = r.fx.master;
    const bool fromMaster = m.sendsRev || m.sendsTrev;
    const bool tap = fromMaster ? m.sendsTrev != 0 : rv.tapActive != 0;
    const bool room = fromMaster ? m.sendsRev != 0 : rv.roomActive != 0;
    const int n = int(std::min<int64_t>(window.length, kBlockFrames));
    if (n <= 0) return 0;
    if (tap && CheckTapReverb(kBlockFrames, rate, rv.tapSize, rv.tapCount, rv.posX, rv.posY, rv.posZ))
        return 1;
    if (room && CheckRoomReverb(n, rate, rv.roomSize, rv.posX, rv.posY, rv.posZ)) return 1;
    return 0;
}

// Phases 2 to 19 without writing anything: every text file, every header
// and every pass of the fader file, and the plan of the outputs, checked.
// Returns 0 or the status the run ends with.
int ReadSession(RunTables& r, const CommandLine& cl, uint32_t& rate, MixWindow& window) {
    Diagnostics& d = r.diag;
    const bool mayWrite = !cl.check && !cl.strict;

    // 2. Preferences, first group.
    LoadPreferences(cl.prefs, r.prefs, d, mayWrite);
    Prefs& p = r.prefs;
    if (cl.check) p.verbosity = 1;  // the summary says what was read
    PrintBanner(p);

    // 3. Track list, first look.
    if (int st = CountTracks(cl.tracks, p.separator, p.verbosity, r.tracks, &d)) return st;

    // 4. Fader file: a default one is offered only to a person at a terminal.
    const MissingFaders missing =
        mayWrite && isatty(STDIN_FILENO) ? MissingFaders::Prompt : MissingFaders::Refuse;
    if (int st = LoadFaderScript(cl.faders, cl.fadersGiven, r.tracks.count, p.verbosity, r.faders,
                                 &d, missing))
        return st;
    const ScanText script = ScanOf(r.faders, &d, p.verbosity >= 2);

    // 5. Working storage.
    AllocateInputStage(r.input);

    // 6. Track list, names and switches.
    ParseTracks(r.tracks, p.trackListMode, p.separator);

    // 7. WAV headers.
    ReadHeaders(r);

    // 8. Sample-rate check; a list without any usable track stops here.
    if (int st = CheckSampleRates(r, rate)) return st;
    bool anyTrack = false;
    for (int ch = 1; ch <= r.tracks.count; ++ch) anyTrack = anyTrack || r.tracks.enabled[ch];
    if (!anyTrack) return RefuseEmptyMix(r);

    // 9. Start offsets and song length.
    if (int st = ReadStartOffsets(script, double(rate), r.offsets)) return st;
    int64_t songLength = 0;
    for (int ch = 1; ch <= r.tracks.count; ++ch)
        if (r.tracks.enabled[ch] && r.headers.length[size_t(ch)] + r.offsets[size_t(ch)] > songLength)
            songLength = r.headers.length[size_t(ch)] + r.offsets[size_t(ch)];
    if (p.verbosity == 2) std::printf("Sample Rate: %u\n", rate);

    // 10. Random seed for the dither: the "seed" preference, else the clock.
    ReadSeed(p);
    r.ditherSeed = p.seedSet ? p.seed : uint32_t(std::time(nullptr) % 3600);
    SeedDitherRandom(r.dither, r.ditherSeed);

    // 11. Output name.
    if (int st = ReadOutputName(p, MixNameFromScript(r.faders.content))) return st;

    // 12. Mix window.
    if (int st = ComputeMixWindow(p, songLength, double(rate), window)) return st;

    // 13. Remaining switches.
    ReadOutputSwitches(p);
    ReadLoudnessTarget(p);
    ReadHtmlSwitch(p);

    // 14. Output header.
    const int outChannels = p.mono ? 1 : 2;
    // Past 4 GiB the file is written as RF64; only a length that not even
    // its 64-bit sizes can describe is refused.
    if (!Rf64DataFits(p.outBits, outChannels, window.length)) {
        std::printf("Error: the mix window of %lld frames is too long for a WAV file; nothing was "
                    "written.\n",
                    (long long)window.length);
        return 2;
    }
    // The header is written with the other outputs, once the fader file has
    // named them all (the tap file is named by its reverb lines).

    // 15. Routing.
    ScriptContext& ctx = r.script;
    ctx.rate = rate;
    ctx.songLength = songLength;
    ctx.trackCount = r.tracks.count;
    for (int ch = 0; ch < kChannelTable; ++ch) {
        ctx.channels[size_t(ch)] = r.headers.channels[size_t(ch)];
        ctx.active[size_t(ch)] = r.tracks.enabled[ch];
    }
    ScriptSwitchesFromPrefs(p, window, ctx);
    if (int st = RoutingPass(script, ctx, r.routing)) return st;
    if (int st = VcaPass(script, r.routing)) return st;

    // 16. Automation offset.
    if (int st = ReadAutomationOffset(ctx, r.timeBase)) return st;

    // 17. Time base and the ordered time-entry pass.
    if (int st = BuildTimeBase(script, ctx, r.timeBase)) return st;
    if (int st = ReadTimeEntries(script, ctx, r.timeBase, r.faderTables, r.vcaTables, r.faderSettings))
        return st;

    // 18. Level, pan and trim lines.
    if (int st = ApplyAfterEntries(script, ctx, r.faderTables, r.vcaTables, r.faderSettings)) return st;

    // 19. Effect settings; the outputs are planned and checked.
    ReadEffectSettings(script, ctx.prefs, rate, p.percentMode, p.verbosity, r.tracks.count,
                       r.faderSettings.masterHasEffects, p.mixDirSet, p.mixDir, r.fx);
    if (int st = CheckReverbRooms(r, rate, window)) return st;
    return PlanOutputs(r, cl);
}

// --check: what was understood, every warning, and the status a mix would
// end with.
int FinishCheck(const RunTables& r, int status, const MixWindow& window) {
    if (status == 0) {
        CheckView v;
        v.prefs = &r.prefs;
        v.tracks = &r.tracks;
        v.headers = &r.headers;
        v.offsets = &r.offsets;
        v.ctx = &r.script;
        v.faders = &r.faderTables;
        v.vcas = &r.vcaTables;
        v.routing = &r.routing;
        v.fx = &r.fx;
        v.window = window;
        v.threads = LanesForRun(RequestedLanes(r.prefs.threads),
                                ChannelsWithEffects(r.fx, r.script.active.data(), r.tracks.count));
        PrintCheckSummary(v);
    }
    PrintWarningList(r.diag);
    if (status != 0) return 2;
    return r.diag.strict && r.diag.count > 0 ? 2 : 0;
}

// The block buffers, all zero.
void AllocateBuffers(RunTables& r) {
    int channelsWithEffects = 0;
    for (int ch = 1; ch <= r.tracks.count; ++ch) channelsWithEffects += r.fx.hasEffects[ch] ? 1 : 0;
    AllocateMixBuffers(r.buffers, r.routing.nineBuses, r.fx.reverb.roomActive != 0,
                       r.fx.reverb.tapActive != 0, AnyVcaActive(r.routing), r.outIndex.tap >= 0,
                       channelsWithEffects >= 2);
}

// Phase 20's set-up: fader playback from the window's start, the channels'
// input, the input files, the block buffers.
void SetUpMix(RunTables& r, uint32_t rate, const MixWindow& window) {
    ScriptContext& ctx = r.script;
    InitPlayback(ctx, window.start, r.offsets, r.faderTables, r.vcaTables, r.playback);
    for (int ch = 1; ch <= r.tracks.count; ++ch) {
        r.input.trackStart[size_t(ch)] = r.offsets[size_t(ch)];
        r.input.pan[size_t(ch)] = r.faderSettings.pan[size_t(ch)];
        r.input.delayPan[size_t(ch)] = r.faderSettings.delayPan[size_t(ch)];
        r.input.delayFrames[size_t(ch)] = ComputeDelayFrames(r.faderSettings.pan[size_t(ch)], rate);
    }
    std::span<int> active(ctx.active.data(), kChannelTable);
    OpenInputFiles(r.input, r.headers, r.tracks.count, active, r.paths);
    AllocateBuffers(r);
    r.meters.peakOutPosL = r.meters.peakOutPosR = window.start;
}

MixRun MixRunOf(RunTables& r, uint32_t rate, const MixWindow& window) {
    const Prefs& p = r.prefs;
    MixRun run;
    run.rate = rate;
    run.trackCount = r.tracks.count;
    run.verbosity = p.verbosity;
    run.window = window;
    run.output.bits = p.outBits;
    run.output.mono = p.mono;
    run.output.monoGain = p.monoGain;
    run.output.dither = p.dither;
    run.output.ditherOffset = p.ditherOffset;
    run.output.ditherSpan = p.ditherSpan;
    run.output.rmsWindow = float(rate) / 10.0f;
    run.input = &r.input;
    run.faders = &r.faderTables;
    run.vcas = &r.vcaTables;
    run.settings = &r.faderSettings;
    run.routing = &r.routing;
    run.playback = &r.playback;
    run.automate = &r.automate;
    run.fx = &r.fx;
    run.processors = &r.processors;
    run.buffers = &r.buffers;
    run.meters = &r.meters;
    run.out = &r.out;
    run.tap = r.tap.file ? &r.tap : nullptr;
    run.dither = &r.dither;
    return run;
}

// The first pass of a loudness target: the window mixed as the second pass
// will mix it, the master measured before dither, nothing written. Then the
// gain is chosen, every table the pass changed is put back, the buffers are
// cleared and the dither's generator is seeded again as it was, so the
// second pass is the first one scaled by the gain.
int FirstPass(RunTables& r, MixRun& run) {
    const Prefs& p = r.prefs;
    PassStart start = TakePassStart(r);
    LoudnessState measured;
    StartLoudnessMeter(measured, run.rate, p.mono ? 1 : 2, kBusFullScale, run.window.length);
    run.firstPass = &measured;
    const int st = RunMixingLoop(run);
    run.firstPass = nullptr;
    if (st != 0) return st;

    r.target.set = true;
    r.target.target = p.lufs;
    r.target.ceiling = p.tpmax;
    ChooseTargetGain(r.target, LoudnessResult(measured));
    run.masterGain = TargetGainFactor(r.target);

    RestorePassStart(r, start);
    AllocateBuffers(r);
    SeedDitherRandom(r.dither, r.ditherSeed);
    return 0;
}

int Run(RunTables& r, const CommandLine& cl) {
    // 1. Start-up.
    const std::clock_t startClock = std::clock();
    r.started = std::time(nullptr);
    r.diag.strict = cl.strict;
    r.diag.deferPrinting = cl.check;

    uint32_t rate = 0;
    MixWindow window;
    const int status = ReadSession(r, cl, rate, window);
    if (cl.check) return FinishCheck(r, status, window);
    if (status != 0) return status;
    if (r.diag.strict && r.diag.count > 0) {
        std::printf("Error: %s with --strict; nothing was written.\n",
                    WarningCountLine(r.diag.count).c_str());
        return 2;
    }
    Prefs& p = r.prefs;
    const int outChannels = p.mono ? 1 : 2;
    // With a loudness target the outputs are created after the first pass,
    // which writes nothing.
    if (!p.lufsSet)
        if (int st = CreateOutputs(r, rate, window)) return st;

    // 20. Mixing.
    SetUpMix(r, rate, window);
    MixRun run = MixRunOf(r, rate, window);
    const int lanes = LanesForRun(RequestedLanes(p.threads),
                                  ChannelsWithEffects(r.fx, r.input.active.data(), r.tracks.count));
    StartChannelThreads(r.threads, lanes, run);
    run.threads = &r.threads;
    if (p.lufsSet) {
        if (int st = FirstPass(r, run)) return st;
        if (int st = CreateOutputs(r, rate, window)) return st;
        run.out = &r.out;
        run.tap = r.tap.file ? &r.tap : nullptr;
    }
    StartLoudnessMeter(r.meters.loudness, rate, outChannels, p.outBits == 16 ? 32768.0 : 8388608.0,
                       window.length);
    if (p.htmlReport) {
        StartOutputColumns(r.columns, window.start, window.length,
                           r.fx.master.anyEffect && r.fx.master.limiter);
        run.columns = &r.columns;
    }
    if (int st = RunMixingLoop(run)) return st;

    // 21-22. Finish, reports and launch.
    return FinishRun(r, cl, startClock, rate, window);
}

}  // namespace

int RunMixer(int argc, char** argv) {
    CommandLine cl;
    if (int st = ParseCommandLine(argc, argv, stdout, cl); st >= 0) return st;
    auto tables = std::make_unique<RunTables>();
    int status = Run(*tables, cl);
    std::fflush(stdout);
    if (status != 0) {
        DropOutputFile(tables->out);
        DropOutputFile(tables->tap);
        DiscardRunOutputs(tables->outputs);
    }
    return status;
}

}  // namespace varnel
