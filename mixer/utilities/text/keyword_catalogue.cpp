#include "mixer/utilities/text/keyword_catalogue.hpp"

#include <algorithm>
#include <iterator>

namespace varnel {

namespace {

// "end" closes both files.
constexpr std::string_view kFaderKeywords[] = {
    "end",   "tstamp", "sstamp", "sub",   "submu", "subso",  "VCA:",   "tmap",  "t",
    "inc",   "v",      "vca",    "rmp",   "ofs",   "shape",  "p",      "pol",   "dp",
    "trim",  "scale",  "mtrim",  "fxg",   "comp",  "rms",    "nlc",    "lim",   "hp",
    "band1", "band2",  "band3",  "band4", "hshelf", "lshelf", "rev",   "trev",  "rtn",
    "trtn",  "pos",    "width",  "rhp",   "rlp",
};

constexpr std::string_view kPreferenceKeywords[] = {
    "end",     "verbo",  "mixdir",    "predir", "bakdir", "wavdir", "tlist",  "tlist=tab",
    "oname",   "sfields", "pre",      "start",  "length", "xfields", "head",  "tail",
    "xin",     "xout",   "v=percent", "tempo",  "launch", "mono",   "dbps",   "dither",
    "outbits", "offset", "tfields",   "pan",    "tap",    "seed",   "threads", "lufs",
    "tpmax", "html",
};

template <size_t N>
bool Listed(const std::string_view (&list)[N], std::string_view field) {
    return std::find(std::begin(list), std::end(list), field) != std::end(list);
}

}  // namespace

bool IsFaderKeyword(std::string_view field) { return Listed(kFaderKeywords, field); }
bool IsPreferenceKeyword(std::string_view field) { return Listed(kPreferenceKeywords, field); }

}  // namespace varnel
