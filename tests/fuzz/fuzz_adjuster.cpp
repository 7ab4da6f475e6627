// The adjuster: ParseBuffer over an arbitrary text in each time layout, every
// edit, and both output formats in every layout; the formatted text must load
// again with the same entries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "adjuster/fader_model.hpp"
#include "adjuster/formats.hpp"
#include "adjuster/operations.hpp"
#include "adjuster/parsing.hpp"

namespace {

// One model for the whole fuzzing process: fresh large allocations per input
// cost more than the parsing itself.
ostrand::FaderModel* gModel = nullptr;
ostrand::FaderModel* gAgain = nullptr;

std::size_t EntryCount(const ostrand::FaderModel& m) {
    std::size_t n = 0;
    for (const auto& row : m.rows) n += row.size();
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gModel = new ostrand::FaderModel;
    gAgain = new ostrand::FaderModel;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ostrand;
    if (size > kMaxFileSize) return 0;  // the loader refuses such files
    const std::string input(reinterpret_cast<const char*>(data), size);
    for (int fields = kSecondsOnly; fields <= kMinutesSecondsMillis; ++fields) {
        FaderModel& m = *gModel;
        ParseBuffer(input, fields, m);
        double last = FindMax(m);
        (void)FindMin(m, last);
        std::string formatted;
        for (int layout = kSecondsOnly; layout <= kMinutesSecondsMillis; ++layout) {
            Format1(m, formatted, layout);
            Format2(m, formatted, layout);
        }
        // Saved with no edit, the text loads again with the same entries.
        Format2(m, formatted, fields);
        ParseBuffer(formatted, fields, *gAgain);
        if (EntryCount(*gAgain) != EntryCount(m)) std::abort();
        MoveTimes(m, 1.5);
        ScaleTimes(m, 1000.0);
        AdjustVolumes(m, -6.0);
        AdjustChannelVolumes(m, 3.0);
        Format2(m, formatted, fields);
        Format1(m, formatted, fields);
    }
    return 0;
}
