// Reads an HTML mix report back with python's XML parser (an independent
// reader: a page that is not well-formed fails to parse) and summarises what
// it shows, one fact a line, for the tests to compare.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// Lines, tab-separated fields:
//   fact <row head> <value>             a header row
//   warning <text>
//   lane <label and note> <1 played, 0 not> <x of each entry dot, comma-separated>
//   fs <x> <y>                          a full-scale mark of the waveform
//   peak <x>                            a peak line of the waveform
//   strip <label> <left dB> <right dB> <1 clipped, 0 not>
//   svg <count of svg elements>
// Empty when python3 is missing; "error ..." when the page does not parse.
std::vector<std::string> SummariseHtml(const std::string& path);

// The fields of the summary lines that start with `kind`.
std::vector<std::vector<std::string>> SummaryLines(const std::vector<std::string>& summary,
                                                   const std::string& kind);

}  // namespace testsupport
