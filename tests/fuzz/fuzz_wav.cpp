// A whole WAV file image: the header parser on the bytes, then, for a file
// it accepts, every sample of the file through the channel input stage, both
// as read and with a delay pan.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "fuzz_support.hpp"
#include "mixer/run/input_stage.hpp"
#include "mixer/utilities/wav/wav_reader.hpp"

namespace {

// The input stage's block buffers are large; the harness keeps one set for
// the whole fuzzing process and hands a fresh stage to every input.
struct Buffers {
    varnel::InputStage proto;
    std::vector<int32_t> left = std::vector<int32_t>(varnel::kBlockFrames);
    std::vector<int32_t> right = std::vector<int32_t>(varnel::kBlockFrames);
};
Buffers* gBuffers = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::SilenceStdout();
    gBuffers = new Buffers;
    varnel::AllocateInputStage(gBuffers->proto);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace varnel;
    const WavParse parse = ParseWavHeader(std::span<const uint8_t>(data, size));
    if (parse.refusal != WavRefusal::kNone) {
        (void)WavRefusalText(parse, "fuzz.wav");
        return 0;
    }
    const std::string path = fuzzsupport::WriteScratch("wav", data, size);
    constexpr int kChannel = 1;
    auto headers = std::make_unique<TrackHeaders>();
    StoreWavHeader(parse, kChannel, *headers);

    auto stage = std::make_unique<InputStage>();
    // Borrow the scratch buffers; the delay history starts silent.
    std::swap(stage->scratch, gBuffers->proto.scratch);
    stage->historyL.assign(size_t(kChannelTable) * kDelayHistory, 0);
    stage->historyR.assign(size_t(kChannelTable) * kDelayHistory, 0);
    auto giveBack = [&] { std::swap(gBuffers->proto.scratch, stage->scratch); };
    if (!OpenChannelFile(*stage, kChannel, path, *headers)) {
        giveBack();
        return 0;
    }
    // A short start offset and a delay pan on odd sizes reach the history
    // and the mono placement paths as well.
    stage->trackStart[kChannel] = int64_t(size % 7);
    stage->pan[kChannel] = int(size % 201) - 100;
    stage->delayPan[kChannel] = int(size & 1);
    stage->delayFrames[kChannel] = ComputeDelayFrames(stage->pan[kChannel], headers->rate[kChannel]);

    int32_t* left = gBuffers->left.data();
    int32_t* right = gBuffers->right.data();
    const int64_t end = stage->trackStart[kChannel] + headers->length[kChannel];
    // Small blocks keep each run short while crossing block edges often.
    constexpr int kFuzzBlock = 4096;
    for (int64_t s = 0; s < end + kFuzzBlock && stage->active[kChannel]; s += kFuzzBlock) {
        const int n = kFuzzBlock;
        const int h = n > 255 ? n - 256 : n;
        ReadChannelBlock(*stage, kChannel, s, n, h, 3.0, left, right);
    }
    CloseInputFiles(*stage);
    giveBack();
    return 0;
}
