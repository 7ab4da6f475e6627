#include "support/session.hpp"

namespace testsupport {

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
    return RunProgram(VARNEL_BIN, args, dir.path(), input);
}

}  // namespace testsupport
