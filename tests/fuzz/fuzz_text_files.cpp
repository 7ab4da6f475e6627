// The preferences file and the track list, from loading through every phase
// that reads them, over one arbitrary text.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "fuzz_support.hpp"
#include "mixer/run/prefs.hpp"
#include "mixer/run/track_list.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::SilenceStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace varnel;
    const std::string path = fuzzsupport::WriteScratch("text", data, size);

    auto prefs = std::make_unique<Prefs>();
    Diagnostics diag;
    LoadPreferences(path, *prefs, diag, false);
    if (ReadOutputName(*prefs, "song") == 0) {
        MixWindow window;
        ComputeMixWindow(*prefs, 10 * 48000, 48000.0, window);
        ReadOutputSwitches(*prefs);
    }

    const char separators[] = {' ', '\t', prefs->separator};
    for (int mode = 0; mode <= 2; ++mode) {
        for (char sep : separators) {
            auto tracks = std::make_unique<TrackList>();
            if (CountTracks(path, sep, 2, *tracks, &diag) != 0) continue;
            ParseTracks(*tracks, mode, sep);
            for (int ch = 1; ch <= tracks->count && ch < int(tracks->names.size()); ++ch)
                (void)TrackPath(prefs->wavDir, prefs->wavDirSet, tracks->names[size_t(ch)]);
        }
    }
    return 0;
}
