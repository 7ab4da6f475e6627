// The adjuster: ParseBuffer over an arbitrary text in each time layout, every
// edit, and both output formats in every layout.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "adjuster/fader_model.hpp"
#include "adjuster/formats.hpp"
#include "adjuster/operations.hpp"
#include "adjuster/parsing.hpp"

namespace {

// One model for the whole fuzzing process, cleared before every parse: fresh
// large allocations per input cost more than the parsing itself.
ostrand::FaderModel* gModel = nullptr;
std::FILE* gSink = nullptr;

void Clear(ostrand::FaderModel& m) {
    std::memset(m.times, 0, sizeof m.times);
    std::memset(m.levels, 0, sizeof m.levels);
    std::memset(m.ramps, 0, sizeof m.ramps);
    std::memset(m.counts, 0, sizeof m.counts);
    m.header.clear();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gModel = new ostrand::FaderModel;
    gSink = std::fopen("/dev/null", "w");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ostrand;
    if (size + 1 > kTextCapacity) return 0;  // the loader refuses such files
    std::FILE* out = gSink;
    for (int fields = kSecondsOnly; fields <= kMinutesSecondsMillis; ++fields) {
        std::vector<char> text(data, data + size);
        text.push_back('\0');
        FaderModel* m = gModel;
        Clear(*m);
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
    return 0;
}
