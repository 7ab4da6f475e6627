#include "support/session.hpp"

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <string_view>

#include <gtest/gtest.h>

namespace testsupport {

std::string Steady(const std::string& text) {
    std::string out;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
        const std::string_view line(text.data() + at, end - at);
        // The JSON report's members, after their indent.
        const std::string_view member = line.substr(std::min(line.find_first_not_of(' '), line.size()));
        const bool varies =
            line.rfind("Processing time = ", 0) == 0 || line.rfind("Threads used = ", 0) == 0 ||
            line.rfind("Threads: ", 0) == 0 || line.rfind("Date = ", 0) == 0 ||
            line.rfind("Seed = ", 0) == 0 || member.rfind("\"processing_seconds\": ", 0) == 0 ||
            member.rfind("\"date\": ", 0) == 0 || member.rfind("\"seed\": ", 0) == 0 ||
            member.rfind("\"seed_from\": ", 0) == 0 || member.rfind("\"threads_used\": ", 0) == 0;
        if (!varies) out += line;
        at = end;
    }
    return out;
}

namespace {

bool IsHtmlReport(const std::string& name) {
    const size_t slash = name.rfind('/');
    return name.compare(slash == std::string::npos ? 0 : slash + 1, 7, "report_") == 0 &&
           name.size() > 5 && name.compare(name.size() - 5, 5, ".html") == 0;
}

// An HTML report without the date it was made.
std::string WithoutDate(const std::string& page) {
    static const std::regex date("<tr><th>Date</th><td>[^<]*</td></tr>");
    return std::regex_replace(page, date, "");
}

// Every regular file under the session directory but the preferences, with
// the statistics files and the HTML reports made steady.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir, ec)) {
        if (!e.is_regular_file(ec)) continue;
        const std::string name = std::filesystem::relative(e.path(), dir, ec).string();
        if (name == "prefs.txt") continue;
        const std::string body = ReadFile(e.path().string());
        // A "bakdir" prefix is glued to the name as written ("bak_stats_song.txt").
        files[name] = name.find("stats_") != std::string::npos ? Steady(body)
                      : IsHtmlReport(name)                      ? WithoutDate(body)
                                                                : body;
    }
    return files;
}

// A run that gives the same bytes every time: the preferences in use are
// prefs.txt, without dither (its generator is seeded from the clock), without
// a launch command and without a thread count of their own.
bool Repeatable(const std::vector<std::string>& args, const std::string& prefs) {
    if (args.size() >= 3 && args[2] != "prefs.txt") return false;
    if (prefs.rfind("begin\n", 0) != 0 && prefs.find("\nbegin\n") == std::string::npos) return false;
    if (prefs.find("threads") != std::string::npos || prefs.find("launch") != std::string::npos)
        return false;
    static const std::regex dither("(^|\n)dither\t([^\n]*)");
    bool off = false;
    for (std::sregex_iterator i(prefs.begin(), prefs.end(), dither), end; i != end; ++i)
        off = (*i)[2] == "0";
    return off;
}

// The thread count goes last before "end", so no line a warning names moves.
std::string WithThreads(const std::string& prefs, int threads) {
    const size_t begin = prefs.rfind("begin\n", 0) == 0 ? 0 : prefs.find("\nbegin\n") + 1;
    const size_t end = prefs.find("\nend\n", begin);
    const size_t at = end == std::string::npos ? prefs.size() : end + 1;
    std::string out = prefs;
    if (at > 0 && out[at - 1] != '\n') out.insert(at, "\n");
    out.insert(at + (at > 0 && prefs[at - 1] != '\n' ? 1 : 0),
               "threads\t" + std::to_string(threads) + "\n");
    return out;
}

}  // namespace

void Session::AddLine(const std::string& line) {
    lines_.push_back(line);
    tracks = "begin\n";
    for (const auto& l : lines_) tracks += l + "\n";
    tracks += "end\n";
}

void Session::AddPcm(const std::string& name, int channels, int bits,
                     const std::vector<int32_t>& samples, int rate) {
    WriteWavPcm(dir.file(name), rate, channels, bits, samples);
    AddLine(std::to_string(++count_) + " " + name + " +");
}

void Session::AddFloat(const std::string& name, int channels, const std::vector<float>& samples,
                       int rate) {
    WriteWavFloat(dir.file(name), rate, channels, samples);
    AddLine(std::to_string(++count_) + " " + name + " +");
}

RunResult Session::Run(const std::vector<std::string>& args, const std::string& input) {
    WriteFile(dir.file("tracks.txt"), tracks);
    WriteFile(dir.file("faders.txt"), faders);
    WriteFile(dir.file("prefs.txt"), prefs);
    RunResult first = RunProgram(VARNEL_BIN, args, dir.path(), input);
    if (!crossCheckThreads || !Repeatable(args, prefs)) return first;

    // The same session with the channel pass on three threads must give the
    // same files, messages and status, byte for byte.
    const auto files = Snapshot(dir.path());
    WriteFile(dir.file("prefs.txt"), WithThreads(prefs, 3));
    const RunResult threaded = RunProgram(VARNEL_BIN, args, dir.path(), input);
    WriteFile(dir.file("prefs.txt"), prefs);
    EXPECT_EQ(threaded.status, first.status) << "at threads 3";
    EXPECT_EQ(Steady(threaded.output), Steady(first.output)) << "at threads 3";
    const auto again = Snapshot(dir.path());
    for (const auto& [name, body] : files) {
        const auto it = again.find(name);
        EXPECT_TRUE(it != again.end() && it->second == body) << name << " differs at threads 3";
    }
    for (const auto& [name, body] : again)
        EXPECT_TRUE(files.count(name)) << name << " written only at threads 3";
    return first;
}

}  // namespace testsupport
