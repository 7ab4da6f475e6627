// A whole WAV file image: the header reader, then every sample of the file
// through the channel input stage, both as read and with a delay pan.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "fuzz_support.hpp"
#include "mixer/run/input_stage.hpp"
#include "mixer/utilities/wav_reader.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::SilenceStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace varnel;
    const std::string path = fuzzsupport::WriteScratch("wav", data, size);
    constexpr int kChannel = 1;
    auto headers = std::make_unique<TrackHeaders>();
    if (GET_ATTRIBUTES(kChannel, path, *headers) == 0) return 0;

    auto stage = std::make_unique<InputStage>();
    AllocateInputStage(*stage);
    if (!OpenChannelFile(*stage, kChannel, path, *headers)) return 0;
    // A short start offset and a delay pan on odd sizes reach the history
    // and the mono placement paths as well.
    stage->trackStart[kChannel] = int64_t(size % 7);
    stage->pan[kChannel] = int(size % 201) - 100;
    stage->delayPan[kChannel] = int(size & 1);
    stage->delayFrames[kChannel] = ComputeDelayFrames(stage->pan[kChannel], headers->rate[kChannel]);

    std::vector<int32_t> left(kBlockFrames), right(kBlockFrames);
    const int64_t end = stage->trackStart[kChannel] + headers->length[kChannel];
    // Small blocks keep each run short while crossing block edges often.
    constexpr int kFuzzBlock = 4096;
    for (int64_t s = 0; s < end + kFuzzBlock && stage->active[kChannel]; s += kFuzzBlock) {
        const int n = kFuzzBlock;
        const int h = n > 255 ? n - 256 : n;
        ReadChannelBlock(*stage, kChannel, s, n, h, 3.0, left.data(), right.data());
    }
    CloseInputFiles(*stage);
    return 0;
}
