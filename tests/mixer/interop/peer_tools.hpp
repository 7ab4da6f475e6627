// Running the other audio tools the cross-checks compare against. Every
// check skips when its tool is not installed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace peertools {

struct Shell {
    int status = -1;
    std::string output;
};

// Runs a shell command and collects its standard output.
inline Shell RunShell(const std::string& command) {
    Shell r;
    std::FILE* p = popen(command.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, got);
    r.status = pclose(p);
    return r;
}

inline bool Have(const std::string& tool) {
    return RunShell("command -v " + tool + " >/dev/null 2>&1").status == 0;
}

// A python interpreter that can import `module`, or "" when there is none.
// The distribution's interpreter is tried after the one on the PATH, since
// the audio modules usually come as distribution packages.
inline std::string PythonWith(const std::string& module) {
    for (const char* py : {"python3", "/usr/bin/python3"})
        if (RunShell(std::string(py) + " -c 'import " + module + "' >/dev/null 2>&1").status == 0)
            return py;
    return "";
}

// Little-endian signed 32-bit samples of a raw file.
inline std::vector<int32_t> ReadRawInt32(const std::string& path) {
    std::vector<int32_t> out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    unsigned char b[4];
    while (std::fread(b, 1, 4, f) == 4)
        out.push_back(int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                              uint32_t(b[3]) << 24));
    std::fclose(f);
    return out;
}

inline bool FileHas(const std::string& path, const std::string& what) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::string s;
    char buf[4096];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0 && s.size() < 1 << 16) s.append(buf, got);
    std::fclose(f);
    return s.find(what) != std::string::npos;
}

}  // namespace peertools
