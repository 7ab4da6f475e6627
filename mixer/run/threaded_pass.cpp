#include "mixer/run/threaded_pass.hpp"

#include <thread>

#include "mixer/run/channel_strip.hpp"

namespace varnel {

namespace {

int32_t* LeftOf(ChannelThreads& t, int ch) { return t.blocks[size_t(t.bufferOf[size_t(ch)])].data(); }
int32_t* RightOf(ChannelThreads& t, int ch) { return LeftOf(t, ch) + kBlockFrames; }

int HistorySplit(int n) { return n > 255 ? n - 256 : n; }

// One item on one lane: read, effects, fader and peaks, into the channels'
// own buffers. Everything it writes belongs to its channels alone.
int RunChannelItem(void* context, int item, int lane) {
    ChannelThreads& t = *static_cast<ChannelThreads*>(context);
    MixRun& run = *t.run;
    const int64_t s = t.blockStart;
    const int n = t.blockLength;
    const int h = HistorySplit(n);
    InputStage& in = *run.input;
    const EffectSettings& fx = *run.fx;
    FaderSettings& fs = *run.settings;
    MixMeters& m = *run.meters;
    InputScratch& scratch = lane == 0 ? in.scratch : t.scratch[size_t(lane)];
    double* work = lane == 0 ? run.buffers->workL.data() : t.work[size_t(lane)].data();

    const ChannelItem it = t.items[size_t(item)];
    const int a = it.first, b = it.second;
    int32_t* La = LeftOf(t, a);
    int32_t* Ra = RightOf(t, a);
    ReadChannelBlock(in, scratch, a, s, n, h, fs.panLaw, La, Ra);
    if (b != 0) {
        int32_t* Lb = LeftOf(t, b);
        int32_t* Rb = RightOf(t, b);
        ReadChannelBlock(in, scratch, b, s, n, h, fs.panLaw, Lb, Rb);
        RunStripEffectsPair({a, La, Ra, fs.postGain[size_t(a)], m.clip[a]},
                            {b, Lb, Rb, fs.postGain[size_t(b)], m.clip[b]}, n, work, fx,
                            *run.processors, kChannelFullScale);
        FadeChannelBlock(run, a, s, n, La, Ra, t.vcaCurves);
        FadeChannelBlock(run, b, s, n, Lb, Rb, t.vcaCurves);
        return 0;
    }
    RunStripEffects(a, n, La, Ra, work, work + kPairWorkValues / 2, fx, *run.processors,
                    fs.postGain[size_t(a)], kChannelFullScale, m.clip[a]);
    FadeChannelBlock(run, a, s, n, La, Ra, t.vcaCurves);
    return 0;
}

// The channels that play in a block and the items of those with effects,
// paired exactly as the single-threaded pass pairs them. Which channels play
// is settled before any is read: reading a channel clears only its own
// active flag.
void PlanItems(const MixRun& run, ChannelThreads& t, int64_t s, int n) {
    t.itemCount = 0;
    t.itemOf.fill(-1);
    t.plays.fill(0);
    for (int ch = 1; ch <= run.trackCount; ++ch) t.plays[size_t(ch)] = PlaysInBlock(*run.input, ch, s, n);
    for (int ch = 1; ch <= run.trackCount; ++ch) {
        if (!t.plays[size_t(ch)] || !run.fx->hasEffects[ch]) continue;
        const int next = NextPlaying(run, ch, s, n);
        const bool pair = PairsWithNext(run, ch, next);
        const int item = t.itemCount++;
        t.items[size_t(item)] = {ch, pair ? next : 0};
        t.itemOf[size_t(ch)] = item;
        if (pair) {
            t.itemOf[size_t(next)] = item;
            ch = next;
        }
    }
}

}  // namespace

int RequestedLanes(int threads) {
    if (threads == 0) threads = int(std::thread::hardware_concurrency());
    return threads < 1 ? 1 : (threads > kMaxThreads ? kMaxThreads : threads);
}

int ChannelsWithEffects(const EffectSettings& fx, const int* active, int trackCount) {
    int count = 0;
    for (int ch = 1; ch <= trackCount && ch < kChannelTable; ++ch)
        count += fx.hasEffects[ch] && active[ch] ? 1 : 0;
    return count;
}

int LanesForRun(int requested, int channelsWithEffects) {
    if (channelsWithEffects < 2) return 1;
    return requested < channelsWithEffects ? requested : channelsWithEffects;
}

void StartChannelThreads(ChannelThreads& t, int lanes, MixRun& run) {
    t.lanes = lanes < 1 ? 1 : (lanes > kMaxThreads ? kMaxThreads : lanes);
    if (t.lanes == 1) return;
    t.run = &run;
    t.bufferOf.fill(-1);
    t.blocks.clear();
    for (int ch = 1; ch <= run.trackCount && ch < kChannelTable; ++ch) {
        if (!run.fx->hasEffects[ch] || !run.input->active[size_t(ch)]) continue;
        t.bufferOf[size_t(ch)] = int(t.blocks.size());
        t.blocks.emplace_back(size_t(2) * kBlockFrames, 0);
    }
    if (!run.buffers->vcaGain.empty()) t.vcaSpare.assign(run.buffers->vcaGain.size(), 1.0);
    t.scratch.resize(size_t(t.lanes));
    t.work.resize(size_t(t.lanes));
    for (int lane = 1; lane < t.lanes; ++lane) {
        AllocateInputScratch(t.scratch[size_t(lane)]);
        t.work[size_t(lane)].assign(kPairWorkValues, 0.0);
    }
    PrepareFadeTables(*run.fx, *run.processors);
    StartWorkerPool(t.pool, t.lanes, RunChannelItem, &t);
}

int ThreadsInUse(const ChannelThreads& t) { return t.lanes; }

void OfferChannelItems(MixRun& run, ChannelThreads& t, int64_t s, int n, const double* vcaGain) {
    PlanItems(run, t, s, n);
    t.run = &run;
    t.blockStart = s;
    t.blockLength = n;
    t.vcaCurves = vcaGain;
    BeginItems(t.pool, t.itemCount);
}

int ChannelPassOnLanes(MixRun& run, ChannelThreads& t) {
    InputStage& in = *run.input;
    FaderSettings& fs = *run.settings;
    MixBuffers& b = *run.buffers;
    const int64_t s = t.blockStart;
    const int n = t.blockLength;
    for (int ch = 1; ch <= run.trackCount; ++ch) {
        if (!t.plays[size_t(ch)]) continue;
        const int item = t.itemOf[size_t(ch)];
        if (item < 0) {
            int32_t* L = b.channelL.data();
            int32_t* R = b.channelR.data();
            ReadChannelBlock(in, ch, s, n, HistorySplit(n), fs.panLaw, L, R);
            FadeChannelBlock(run, ch, s, n, L, R, t.vcaCurves);
            SumChannelBlock(run, ch, n, L, R);
            continue;
        }
        if (t.items[size_t(item)].first == ch) {
            if (int st = WaitForItem(t.pool, item)) {
                FinishItems(t.pool);
                return st;
            }
        }
        SumChannelBlock(run, ch, n, LeftOf(t, ch), RightOf(t, ch));
    }
    FinishItems(t.pool);
    return 0;
}

}  // namespace varnel
