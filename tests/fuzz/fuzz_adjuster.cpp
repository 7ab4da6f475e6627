// The adjuster: ParseBuffer over an arbitrary text in each time layout, every
// edit, and both output formats in every layout.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "adjuster/fader_model.hpp"
#include "adjuster/formats.hpp"
#include "adjuster/operations.hpp"
#include "adjuster/parsing.hpp"

namespace {
std::FILE* Sink() { return std::fopen("/dev/null", "w"); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ostrand;
    if (size + 1 > kTextCapacity) return 0;  // the loader refuses such files
    std::FILE* out = Sink();
    if (!out) return 0;
    for (int fields = kSecondsOnly; fields <= kMinutesSecondsMillis; ++fields) {
        std::vector<char> text(data, data + size);
        text.push_back('\0');
        auto m = std::make_unique<FaderModel>();
        ParseBuffer(text.data(), m->times, m->levels, m->ramps, m->counts, fields, m->header, out);
        float last = FindMax(m->times, m->counts);
        (void)FindMin(m->times, m->counts, last);
        float next = 0.0f;
        (void)ScanTimes(m->times, m->counts, -1.0, next);
        std::string formatted;
        for (int layout = kSecondsOnly; layout <= kMinutesSecondsMillis; ++layout) {
            Format1(m->times, m->levels, m->ramps, m->counts, formatted, layout, m->header);
            Format2(m->times, m->levels, m->ramps, m->counts, formatted, layout, m->header);
        }
        MoveTimes(m->times, m->counts, 1.5);
        ScaleTimes(m->times, m->ramps, m->counts, 1000.0);
        AdjustVolumes(m->levels, m->counts, -6.0);
        Format2(m->times, m->levels, m->ramps, m->counts, formatted, fields, m->header);
        Format1(m->times, m->levels, m->ramps, m->counts, formatted, fields, m->header);
    }
    std::fclose(out);
    return 0;
}
