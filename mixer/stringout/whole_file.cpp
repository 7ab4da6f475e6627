#include "mixer/stringout/whole_file.hpp"

#include <cstdio>

namespace varnel {

bool WriteWholeFile(const std::string& path, std::string_view data) {
    const std::string temp = path + ".partial";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (std::fflush(f) == 0) && ok;
    ok = (std::fclose(f) == 0) && ok;
    ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(temp.c_str());
    return ok;
}

}  // namespace varnel
