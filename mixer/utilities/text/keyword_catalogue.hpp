// Every keyword the mixer reads in its preferences file and its fader file.
// A line inside begin ... end that holds none of its file's keywords is
// warned about, so a keyword that a reader scans for must be listed here.
#pragma once

#include <string_view>

namespace varnel {

bool IsFaderKeyword(std::string_view field);
bool IsPreferenceKeyword(std::string_view field);

}  // namespace varnel
