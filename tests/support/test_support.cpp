#include "support/test_support.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "varnel_test_XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    // Restore write permission on anything a test made read-only.
    for (auto& e : std::filesystem::recursive_directory_iterator(path_, ec))
        std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

static std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& dir, const std::string& input) {
    std::string inputPath = dir + "/.stdin_for_test";
    WriteFile(inputPath, input);
    std::string cmd = "cd ";
    cmd += ShellQuote(dir);
    cmd += " && ";
    cmd += ShellQuote(program);
    for (const auto& a : args) {
        cmd += ' ';
        cmd += ShellQuote(a);
    }
    cmd += " < ";
    cmd += ShellQuote(inputPath);
    RunResult r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    int st = pclose(p);
    std::remove(inputPath.c_str());
    if (WIFEXITED(st)) r.status = WEXITSTATUS(st);
    return r;
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream f(path, std::ios::binary);
    f << content;
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

static void Put16(std::string& s, uint32_t v) {
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
}
static void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

static std::string WavHeader(int rate, int channels, int bits, int tag, uint32_t dataBytes) {
    std::string h = "RIFF";
    Put32(h, dataBytes + 36);
    h += "WAVEfmt ";
    Put32(h, 16);
    Put16(h, tag);
    Put16(h, channels);
    Put32(h, rate);
    Put32(h, rate * channels * bits / 8);
    Put16(h, channels * bits / 8);
    Put16(h, bits);
    h += "data";
    Put32(h, dataBytes);
    return h;
}

void WriteWavPcm(const std::string& path, int rate, int channels, int bits,
                 const std::vector<int32_t>& samples) {
    int bytes = bits / 8;
    std::string data;
    for (int32_t v : samples)
        for (int b = 0; b < bytes; ++b) data += char((uint32_t(v) >> (8 * b)) & 0xFF);
    WriteFile(path, WavHeader(rate, channels, bits, 1, uint32_t(data.size())) + data);
}

void WriteWavFloat(const std::string& path, int rate, int channels,
                   const std::vector<float>& samples) {
    std::string data;
    for (float f : samples) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        Put32(data, u);
    }
    WriteFile(path, WavHeader(rate, channels, 32, 3, uint32_t(data.size())) + data);
}

std::vector<int32_t> ReadWavSamples(const std::string& path, int* channels, int* bits, int* rate) {
    std::string s = ReadFile(path);
    std::vector<int32_t> out;
    if (s.size() < 44) return out;
    auto u8 = [&](size_t i) { return uint32_t(uint8_t(s[i])); };
    int ch = int(u8(22) | u8(23) << 8);
    int bps = int(u8(34) | u8(35) << 8);
    int r = int(u8(24) | u8(25) << 8 | u8(26) << 16 | u8(27) << 24);
    if (channels) *channels = ch;
    if (bits) *bits = bps;
    if (rate) *rate = r;
    int bytes = bps / 8;
    if (bytes < 1) return out;
    for (size_t i = 44; i + bytes <= s.size(); i += bytes) {
        uint32_t v = 0;
        for (int b = 0; b < bytes; ++b) v |= u8(i + b) << (8 * b);
        int shift = 32 - bps;
        out.push_back(int32_t(v << shift) >> shift);
    }
    return out;
}

bool HaveTool(const std::string& tool) {
    std::string cmd = "command -v " + ShellQuote(tool) + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

}  // namespace testsupport
