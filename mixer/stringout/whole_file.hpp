// Writing a file so that it is either complete or not there at all.
#pragma once

#include <string>
#include <string_view>

namespace varnel {

// Writes `data` to a temporary file beside `path` and renames it over `path`
// once every byte is written and the file is closed. Returns false (leaving
// `path` as it was and no temporary file behind) when any step fails.
bool WriteWholeFile(const std::string& path, std::string_view data);

}  // namespace varnel
