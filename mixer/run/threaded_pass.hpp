// The channel pass on several threads (the "threads" preference). Each
// channel with effects is read, run through its effect chain (channels with
// the same chain as a pair, as on one thread), faded and peak-metered on a
// worker into its own buffers; the mixing thread takes the channels in
// channel order, mixes those without effects itself as before and adds every
// channel into the buses and reverb sends, so every sum is made in the same
// order as on one thread and the mix is the same byte for byte. While the
// mixing thread finishes a block (submixes, reverbs, master, writing), the
// lanes already process the next block's channels, which share nothing with
// that work but the VCA curves, kept apart for them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "mixer/run/effect_chain.hpp"
#include "mixer/run/input_stage.hpp"
#include "mixer/run/mix_loop.hpp"
#include "mixer/run/worker_pool.hpp"

namespace varnel {

// Up to two channels whose chains run together on one lane.
struct ChannelItem {
    int first = 0;
    int second = 0;   // 0: a single channel
};

struct ChannelThreads {
    int lanes = 1;    // threads at work in the channel pass, the mixing thread included

    // Each channel with effects has its block's two sides here, from its
    // effects to its sum: kBlockFrames left values, then kBlockFrames right.
    std::array<int, kChannelTable> bufferOf{};   // index into blocks, -1 none
    std::vector<std::vector<int32_t>> blocks;

    // Lanes 1.. read and process with their own scratch; lane 0, the mixing
    // thread, with the input stage's and the mix buffers' own.
    std::vector<InputScratch> scratch;
    std::vector<std::vector<double>> work;   // kPairWorkValues per lane

    // The next block's VCA curves, filled while the mixing thread finishes
    // the block before (empty without an active VCA).
    std::vector<double> vcaSpare;

    // The block offered to the lanes, written before its items are offered.
    MixRun* run = nullptr;
    int64_t blockStart = 0;
    int blockLength = 0;
    const double* vcaCurves = nullptr;
    int itemCount = 0;
    std::array<ChannelItem, kMaxPoolItems> items{};
    std::array<int, kChannelTable> itemOf{};          // per channel: its item, or -1
    std::array<unsigned char, kChannelTable> plays{};  // per channel: plays in the block

    WorkerPool pool;   // last: its workers are joined before the rest goes
};

// The lanes a "threads" setting asks for: 0 is one per core the machine
// reports, and the count is kept within 1..kMaxThreads.
int RequestedLanes(int threads);

// Channels 1..trackCount that have effects and take part in the mix.
int ChannelsWithEffects(const EffectSettings& fx, const int* active, int trackCount);

// The lanes a run uses: at most one per channel with effects, since only
// those are handed out; 1 when fewer than two channels have effects.
int LanesForRun(int requested, int channelsWithEffects);

// Allocates the buffers for `lanes` lanes and the channels 1..trackCount that
// have effects, freezes the compressors' fade tables and starts the workers.
// With lanes 1 nothing is allocated or started.
void StartChannelThreads(ChannelThreads& t, int lanes, MixRun& run);

int ThreadsInUse(const ChannelThreads& t);

// Settles which channels play in block s (n frames) and offers the lanes
// its channels with effects, paired as on one thread; vcaGain holds the
// block's VCA curves and must stay as it is until the block's pass is over.
// The lanes start on them at once; the channels of the block before must
// all be summed.
void OfferChannelItems(MixRun& run, ChannelThreads& t, int64_t s, int n, const double* vcaGain);

// The channel pass of the offered block: this thread mixes the channels
// without effects, helps with the items while it waits for one, and sums
// every channel in channel order. Returns 0, or the status of the first
// failed channel in channel order once no item runs any more.
int ChannelPassOnLanes(MixRun& run, ChannelThreads& t);

}  // namespace varnel
