#include "mixer/run/output_checks.hpp"

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace varnel {

namespace {

// What a path stands for: the file itself where it exists, else the place
// it would be created at, with links and "." and ".." resolved.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::string resolved;
};

FileIdentity IdentityOf(const std::string& path) {
    FileIdentity id;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        id.exists = true;
        id.device = st.st_dev;
        id.inode = st.st_ino;
        return id;
    }
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, ec);
    if (ec) resolved = absolute.lexically_normal();
    id.resolved = resolved.string();
    return id;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    if (a.exists != b.exists) return false;
    if (a.exists) return a.device == b.device && a.inode == b.inode;
    return a.resolved == b.resolved;
}

// The directory an output is created in: its name up to the last "/".
std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

int Refuse(const RunOutput& o, const char* why, const std::string& directory = "") {
    if (directory.empty())
        std::printf("Error: cannot write the %s %s: %s; nothing was written.\n", o.role.c_str(),
                    o.path.c_str(), why);
    else
        std::printf("Error: cannot write the %s %s: its directory %s %s; nothing was written.\n",
                    o.role.c_str(), o.path.c_str(), directory.c_str(), why);
    return 2;
}

// The directory exists, is a directory and takes new files.
int CheckDirectory(const RunOutput& o) {
    const std::string dir = DirectoryOf(o.path);
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0) return Refuse(o, "does not exist", dir);
    if (!S_ISDIR(st.st_mode)) return Refuse(o, "is not a directory", dir);
    if (::access(dir.c_str(), W_OK | X_OK) != 0) return Refuse(o, "is not writable", dir);
    return 0;
}

// What already stands at the output's name: nothing, a file the user may
// replace, or a device written in place are fine. A file without write
// permission is kept, as mv and cp keep one; the superuser, whom the
// permission does not bind, is held by the file's write bits.
int CheckEarlierFile(const RunOutput& o) {
    struct stat st;
    if (::stat(o.path.c_str(), &st) != 0) return 0;
    if (S_ISDIR(st.st_mode)) return Refuse(o, "a directory of that name is in the way");
    if (!S_ISREG(st.st_mode)) return 0;
    const bool writable = ::access(o.path.c_str(), W_OK) == 0 &&
                          (::geteuid() != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0);
    if (writable) return 0;
    std::printf("Error: the earlier %s %s is write-protected and is not replaced; nothing was "
                "written.\n",
                o.role.c_str(), o.path.c_str());
    return 2;
}

}  // namespace

std::string VisibleName(const std::string& name) {
    std::string out;
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '\t') out += "\\t";
        else if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (u < 0x20 || u == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", unsigned(u));
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

int CheckMixName(const std::string& name) {
    const char* reason = nullptr;
    if (name.empty()) reason = "it is empty";
    else if (name == "..") reason = "it is \"..\"";
    else if (name.find('/') != std::string::npos) reason = "it holds a \"/\"";
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (!reason && (u < 0x20 || u == 0x7F)) reason = "it holds a control character";
    }
    if (!reason) return 0;
    std::printf("Error: the mix name \"%s\" is not a file name: %s.\n", VisibleName(name).c_str(),
                reason);
    return 2;
}

int CheckRunOutputs(const RunOutputs& outs, std::span<const RunInput> inputs) {
    std::vector<FileIdentity> in;
    for (const RunInput& i : inputs) in.push_back(IdentityOf(i.path));
    std::vector<FileIdentity> out;
    for (int k = 0; k < outs.count; ++k) out.push_back(IdentityOf(outs.items[size_t(k)].path));

    for (int k = 0; k < outs.count; ++k) {
        const RunOutput& o = outs.items[size_t(k)];
        for (size_t i = 0; i < inputs.size(); ++i) {
            if (!SameFile(out[size_t(k)], in[i])) continue;
            std::printf("Error: the %s %s would replace the %s %s; nothing was written.\n",
                        o.role.c_str(), o.path.c_str(), inputs[i].role.c_str(),
                        inputs[i].path.c_str());
            return 2;
        }
        for (int j = 0; j < k; ++j) {
            if (!SameFile(out[size_t(k)], out[size_t(j)])) continue;
            const RunOutput& p = outs.items[size_t(j)];
            std::printf("Error: the %s %s and the %s %s are the same file; nothing was written.\n",
                        p.role.c_str(), p.path.c_str(), o.role.c_str(), o.path.c_str());
            return 2;
        }
    }
    for (int k = 0; k < outs.count; ++k) {
        const RunOutput& o = outs.items[size_t(k)];
        if (int st = CheckDirectory(o)) return st;
        if (int st = CheckEarlierFile(o)) return st;
    }
    return 0;
}

}  // namespace varnel
