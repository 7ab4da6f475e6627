// Whole runs that must neither destroy, hide nor misplace a file: outputs
// that are inputs (by name, hard link or symbolic link) or one another, a tap
// or report that cannot be written, mix names that are no file names, the
// window cut at the song's end, a pipe as a track, write-protected earlier
// files and the preview's own reports. Each case checks what is left on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/session.hpp"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::ReadWavSamples;
using testsupport::RunProgram;
using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

const std::string kPrefs = "begin\ndither\t0\nverbo\t1\n";
const std::string kFaders = "begin\nmix\nt\t0\t0\t0\nv\t1\t0\nv\t2\t0\n";  // two tracks
const std::string kFaders1 = "begin\nmix\nt\t0\t0\t0\nv\t1\t0\n";              // one track
const std::vector<int32_t> kTrack = {100, -100, 200, -200, 300, -300};

// Every entry of a directory tree: its kind and, for a file, its bytes.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (auto& e : fs::recursive_directory_iterator(dir)) {
        const std::string name = fs::relative(e.path(), dir).string();
        if (e.is_symlink()) files[name] = "link to " + fs::read_symlink(e.path()).string();
        else if (e.is_directory()) files[name] = "directory";
        else if (e.is_regular_file()) files[name] = ReadFile(e.path().string());
        else files[name] = "special";
    }
    return files;
}

RunResult Varnel(const std::string& dir, const std::vector<std::string>& args = {}) {
    return RunProgram(VARNEL_BIN, args, dir);
}

// ------------------------------------------------------------ aliasing

enum class Alias { SameName, HardLink, SymLink };

struct AliasCase {
    std::string label;
    std::string outRole, outName;  // the output that would replace an input
    std::string inRole, inName;    // the input as the run names it
    Alias how;
};

// Outputs: the mix, the statistics file, the fader copy, the JSON report. Inputs: a track that
// is on, a track that is off, the track list, the fader file, the preferences.
std::vector<AliasCase> AliasCases() {
    const std::pair<std::string, std::string> outputs[] = {
        {"mix file", "mix.wav"},
        {"statistics file", "stats_mix.txt"},
        {"fader file copy", "faders_mix.txt"},
        {"JSON report", "stats_mix.json"}};
    const std::pair<std::string, std::string> inputs[] = {{"track of channel 1", "a.wav"},
                                                          {"track of channel 2", "off.wav"},
                                                          {"track list", "tracks.txt"},
                                                          {"fader file", "faders.txt"},
                                                          {"preferences file", "prefs.txt"}};
    std::vector<AliasCase> cases;
    for (const auto& [outRole, outName] : outputs)
        for (const auto& [inRole, inName] : inputs)
            for (Alias how : {Alias::SameName, Alias::HardLink, Alias::SymLink})
                cases.push_back({inRole + " as " + outRole, outRole, outName, inRole,
                                 how == Alias::SameName ? outName : inName, how});
    return cases;
}

TEST(OutputSafety, NoOutputReplacesAnInputOrAnother) {
    for (const AliasCase& c : AliasCases()) {
        TempDir dir;
        auto name = [&](const std::string& role, const std::string& usual) {
            return c.how == Alias::SameName && c.inRole == role ? c.outName : usual;
        };
        const std::string on = name("track of channel 1", "a.wav");
        const std::string off = name("track of channel 2", "off.wav");
        const std::string tracks = name("track list", "tracks.txt");
        const std::string faders = name("fader file", "faders.txt");
        const std::string prefs = name("preferences file", "prefs.txt");
        testsupport::WriteWavPcm(dir.file(on), 48000, 2, 24, kTrack);
        testsupport::WriteWavPcm(dir.file(off), 48000, 2, 24, kTrack);
        WriteFile(dir.file(tracks), "begin\n1 " + on + " +\n2 " + off + " -\nend\n");
        WriteFile(dir.file(faders), kFaders + "end\n");
        WriteFile(dir.file(prefs), kPrefs + "end\n");
        if (c.how == Alias::HardLink) fs::create_hard_link(dir.file(c.inName), dir.file(c.outName));
        if (c.how == Alias::SymLink) fs::create_symlink(c.inName, dir.file(c.outName));
        const auto before = Snapshot(dir.path());

        const RunResult r = Varnel(dir.path(), {tracks, faders, prefs});
        EXPECT_EQ(r.status, 2) << c.label << int(c.how) << r.output;
        EXPECT_NE(r.output.find("Error: the " + c.outRole + " " + c.outName + " would replace the " +
                                c.inRole + " " + c.inName + "; nothing was written.\n"),
                  std::string::npos)
            << c.label << int(c.how) << r.output;
        EXPECT_EQ(Snapshot(dir.path()), before) << c.label << int(c.how);
    }
}

// The other ways an output meets another file: a track left out by a solo,
// a listed preview name, and the tap file named like the mix.
TEST(OutputSafety, SoloPreviewAndTapClashes) {
    const struct {
        std::string label, tracks, faders, prefs, message;
    } cases[] = {
        {"track left out by a solo", "begin\n1 a.wav ++\n2 mix.wav +\nend\n", kFaders, kPrefs,
         "Error: the mix file mix.wav would replace the track of channel 2 mix.wav; nothing was "
         "written.\n"},
        {"listed preview name", "begin\n1 a.wav +\n2 preview.wav -\nend\n", kFaders, kPrefs + "pre\ton\n",
         "Error: the preview file preview.wav would replace the track of channel 2 preview.wav; "
         "nothing was written.\n"},
        {"tap file named like the mix", "begin\n1 a.wav +\nend\n", kFaders + "rev\t1\t0\nrtn\t0\t75\n",
         kPrefs + "tap\trtn\noname\trtnTap\n",
         "Error: the mix file rtnTap.wav and the tap file rtnTap.wav are the same file; nothing was "
         "written.\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        for (const char* wav : {"a.wav", "mix.wav", "preview.wav"})
            testsupport::WriteWavPcm(dir.file(wav), 48000, 2, 24, std::vector<int32_t>(40000, 5));
        WriteFile(dir.file("tracks.txt"), c.tracks);
        WriteFile(dir.file("faders.txt"), c.faders + "end\n");
        WriteFile(dir.file("prefs.txt"), c.prefs + "end\n");
        const auto before = Snapshot(dir.path());
        const RunResult r = Varnel(dir.path());
        EXPECT_EQ(r.status, 2) << c.label << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << c.label << r.output;
        EXPECT_EQ(Snapshot(dir.path()), before) << c.label;
    }
}

// ------------------------------------------------ outputs that cannot be written

struct UnwritableCase {
    std::string label;
    std::function<bool(const TempDir&)> arrange;  // false: the case cannot be made here
    std::string prefs;                            // extra preference lines
    std::string message;
};
// The case's name alone, so that test lists stay readable.
void PrintTo(const UnwritableCase& c, std::ostream* os) { *os << c.label; }

std::vector<UnwritableCase> UnwritableCases() {
    auto fullDevice = [](const std::string& name) {
        return [name](const TempDir& d) {
            if (!FileExists("/dev/full")) return false;
            fs::create_symlink("/dev/full", d.file(name));
            return true;
        };
    };
    return {
        {"DirectoryInTheWayOfTheReport", [](const TempDir& d) { return fs::create_directory(d.file("stats_mix.txt")); },
         "", "Error: cannot write the statistics file stats_mix.txt: a directory of that name is in "
             "the way; nothing was written.\n"},
        {"DirectoryInTheWayOfTheTap", [](const TempDir& d) { return fs::create_directory(d.file("revTap.wav")); },
         "", "Error: cannot write the tap file revTap.wav: a directory of that name is in the way; "
             "nothing was written.\n"},
        {"MissingBackupDirectory", [](const TempDir&) { return true; }, "bakdir\tgone/\n",
         "Error: cannot write the statistics file gone/stats_mix.txt: its directory gone does not "
         "exist; nothing was written.\n"},
        {"MixDirectoryIsAFile", [](const TempDir& d) { WriteFile(d.file("out"), "x"); return true; },
         "mixdir\tout/\n",
         "Error: cannot write the mix file out/mix.wav: its directory out is not a directory; nothing "
         "was written.\n"},
        {"ReadOnlyBackupDirectory",
         [](const TempDir& d) {
             if (::geteuid() == 0) return false;  // permissions do not bind the superuser
             fs::create_directory(d.file("bak"));
             fs::permissions(d.file("bak"), fs::perms::owner_read | fs::perms::owner_exec);
             return true;
         },
         "bakdir\tbak/\n",
         "Error: cannot write the statistics file bak/stats_mix.txt: its directory bak is not "
         "writable; nothing was written.\n"},
        // Found only when the report is written, after the mix: every
        // temporary goes, the earlier files stay.
        {"ReportOntoAFullDevice", fullDevice("stats_mix.txt"), "",
         "Error: could not write the statistics file stats_mix.txt (No space left on device); no "
         "earlier file was replaced.\n"},
        {"TapOntoAFullDevice", fullDevice("revTap.wav"), "",
         "Error closing audio file revTap.wav (No space left on device)\n"},
        {"FullSmallFileSystem",
         [](const TempDir& d) {
             fs::create_directory(d.file("small"));
             return ::mount("tmpfs", d.file("small").c_str(), "tmpfs", 0, "size=64k") == 0;
         },
         "mixdir\tsmall/\n", "(No space left on device)\n"},
    };
}

class Unwritable : public ::testing::TestWithParam<UnwritableCase> {};

TEST_P(Unwritable, EndsWithStatus2AndKeepsEveryEarlierFile) {
    const UnwritableCase& c = GetParam();
    TempDir dir;
    if (!c.arrange(dir)) GTEST_SKIP() << "cannot be arranged here";
    const bool small = c.label == "FullSmallFileSystem";
    const std::string mixDir = small ? "small/" : "";
    testsupport::WriteWavPcm(dir.file("a.wav"), 48000, 2, 24, std::vector<int32_t>(2 * 40000, 5000));
    WriteFile(dir.file("tracks.txt"), "begin\n1 a.wav +\nend\n");
    WriteFile(dir.file("faders.txt"), kFaders1 + "rev\t1\t0\nrtn\t0\t75\nend\n");
    WriteFile(dir.file("prefs.txt"), kPrefs + "tap\trev\n" + c.prefs + "end\n");
    WriteFile(dir.file(mixDir + "mix.wav"), "the earlier mix");
    WriteFile(dir.file("faders_mix.txt"), "its fader copy");
    if (!fs::is_symlink(dir.file("stats_mix.txt")) && !FileExists(dir.file("stats_mix.txt")))
        WriteFile(dir.file("stats_mix.txt"), "its statistics");
    const auto before = Snapshot(dir.path());

    const RunResult r = Varnel(dir.path());
    const auto after = Snapshot(dir.path());
    if (small) ::umount2(dir.file("small").c_str(), MNT_DETACH);
    EXPECT_EQ(r.status, 2) << r.output;
    EXPECT_EQ(r.output.find("Done!"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    EXPECT_EQ(after, before);  // every earlier file as it was, and no temporary
}

INSTANTIATE_TEST_SUITE_P(Cases, Unwritable, ::testing::ValuesIn(UnwritableCases()),
                         [](const auto& info) { return info.param.label; });

// ------------------------------------------------------------ the rest

struct RunCase {
    std::string label;
    std::string tracks;  // track list lines
    std::string faders;  // fader file, whole
    std::string prefs;   // extra preference lines
    std::function<void(const TempDir&)> arrange;
    int status;
    std::string message;                                // printed text the run must contain
    std::map<std::string, std::string> created = {};    // new files: name and expected bytes ("" any)
};
// The case's name alone, so that test lists stay readable.
void PrintTo(const RunCase& c, std::ostream* os) { *os << c.label; }

const std::string kSong = "begin\n1 a.wav +\nend\n";
const std::string kScript = kFaders1 + "end\n";

std::vector<RunCase> RunCases() {
    auto nothing = [](const TempDir&) {};
    auto name = [](const std::string& shown, const std::string& reason) {
        return "Error: the mix name \"" + shown + "\" is not a file name: " + reason + ".\n";
    };
    const std::string control = "it holds a control character";
    return {
        {"NameWithSlash", kSong, kScript, "oname\tmixes/song\n",
         [](const TempDir& d) { fs::create_directory(d.file("mixes")); }, 2,
         name("mixes/song", "it holds a \"/\"")},
        {"NameLeavingTheSession", kSong, kScript, "oname\t../x\n", nothing, 2,
         name("../x", "it holds a \"/\"")},
        {"NameDotDot", kSong, kScript, "oname\t..\n", nothing, 2, name("..", "it is \"..\"")},
        {"NameWithTab", kSong, "begin\nmy\tmix\nt\t0\t0\t0\nv\t1\t0\nend\n", "", nothing, 2,
         name("my\\tmix", control)},
        // A carriage return at a line's end is removed when the file is
        // loaded; one inside the name is a control character.
        {"NameWithCarriageReturn", kSong, "begin\nso\rng\nt\t0\t0\t0\nv\t1\t0\nend\n", "", nothing, 2,
         name("so\\rng", control)},
        {"WindowCutAtTheSongsEnd", kSong, kScript, "pre\ton\nlength\t1000000\n", nothing, 0,
         "Warning: the mix window ends past the song's end; it is cut at 0:00.000.\n",
         {{"preview.wav", ""}, {"stats_preview.txt", ""}, {"faders_preview.txt", ""}, {"stats_preview.json", ""}}},
        {"PipeAsATrack", "begin\n1 a.wav +\n2 pipe.wav +\nend\n", kScript, "",
         [](const TempDir& d) { ::mkfifo(d.file("pipe.wav").c_str(), 0644); }, 0,
         "pipe.wav is not a regular file and cannot be used\n",
         {{"mix.wav", ""}, {"stats_mix.txt", ""}, {"faders_mix.txt", ""}, {"stats_mix.json", ""}}},
        {"WriteProtectedEarlierMix", kSong, kScript, "",
         [](const TempDir& d) {
             WriteFile(d.file("mix.wav"), "kept");
             fs::permissions(d.file("mix.wav"), fs::perms::owner_read | fs::perms::group_read);
         },
         2,
         "Error: the earlier mix file mix.wav is write-protected and is not replaced; nothing was "
         "written.\n"},
        {"WriteProtectedEarlierReport", kSong, kScript, "",
         [](const TempDir& d) {
             WriteFile(d.file("faders_mix.txt"), "kept");
             fs::permissions(d.file("faders_mix.txt"), fs::perms::owner_read);
         },
         2,
         "Error: the earlier fader file copy faders_mix.txt is write-protected and is not replaced; "
         "nothing was written.\n"},
        // A preview keeps the full mix's reports: its own are named after it.
        {"PreviewReportsBesideTheMixs", kSong, kScript, "pre\ton\n",
         [](const TempDir& d) {
             WriteFile(d.file("stats_mix.txt"), "the full mix's statistics");
             WriteFile(d.file("faders_mix.txt"), "the full mix's fader copy");
         },
         0, "\nDone!  Created the file: preview.wav\n\n",
         {{"preview.wav", ""},
          {"stats_preview.txt", ""},
          {"stats_preview.json", ""},
          {"faders_preview.txt", "\nmix\nt\t0\t0\t0\nv\t1\t0\nend\n"}}},
    };
}

class OtherRuns : public ::testing::TestWithParam<RunCase> {};

TEST_P(OtherRuns, LeaveTheFilesTheyShould) {
    const RunCase& c = GetParam();
    TempDir dir;
    testsupport::WriteWavPcm(dir.file("a.wav"), 48000, 2, 24, kTrack);
    WriteFile(dir.file("tracks.txt"), c.tracks);
    WriteFile(dir.file("faders.txt"), c.faders);
    WriteFile(dir.file("prefs.txt"), kPrefs + c.prefs + "end\n");
    c.arrange(dir);
    const auto before = Snapshot(dir.path());

    // A pipe with no writer once held the run forever: it must end by itself.
    const bool bounded = testsupport::HaveTool("timeout");
    const RunResult r = bounded ? RunProgram("timeout", {"30", VARNEL_BIN}, dir.path()) : Varnel(dir.path());
    EXPECT_EQ(r.status, c.status) << r.output;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("Done!") != std::string::npos, c.status == 0) << r.output;

    auto after = Snapshot(dir.path());
    for (const auto& [file, bytes] : c.created) {
        ASSERT_EQ(after.count(file), 1u) << file;
        if (!bytes.empty()) {
            EXPECT_EQ(after[file], bytes) << file;
        }
        after.erase(file);
    }
    EXPECT_EQ(after, before);
    if (c.label == "WindowCutAtTheSongsEnd") {
        EXPECT_EQ(ReadWavSamples(dir.file("preview.wav")), kTrack);  // the song, and no more
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, OtherRuns, ::testing::ValuesIn(RunCases()),
                         [](const auto& info) { return info.param.label; });

}  // namespace
