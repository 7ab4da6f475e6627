// The worker pool and the lane count of the threaded channel pass: every item
// runs once per block on some lane, a failed item's status reaches the
// mixing thread, and no item runs after FinishItems.
#include "mixer/run/worker_pool.hpp"
#include "mixer/run/threaded_pass.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace varnel;

namespace {

struct Counts {
    std::atomic<int> runs[kMaxPoolItems] = {};
    std::atomic<int> lanesSeen[kMaxThreads] = {};
    int failing = -1;   // the item that returns status 7
    int failing2 = -1;  // and the one that returns status 9
};

int CountItem(void* context, int item, int lane) {
    Counts& c = *static_cast<Counts*>(context);
    c.runs[item]++;
    c.lanesSeen[lane]++;
    if (item == c.failing) return 7;
    if (item == c.failing2) return 9;
    return 0;
}

}  // namespace

TEST(WorkerPool, EveryItemRunsOnceAndStatusesComeBackPerItem) {
    for (int lanes : {1, 2, 3, 8}) {
        Counts c;
        c.failing = 5;
        c.failing2 = 2;
        WorkerPool pool;
        StartWorkerPool(pool, lanes, CountItem, &c);
        EXPECT_EQ(pool.threads.size(), size_t(lanes - 1));
        for (int block = 0; block < 50; ++block) {
            BeginItems(pool, 9);
            for (int item = 0; item < 9; ++item)
                EXPECT_EQ(WaitForItem(pool, item), item == 5 ? 7 : item == 2 ? 9 : 0);
            FinishItems(pool);
        }
        StopWorkerPool(pool);
        for (int item = 0; item < kMaxPoolItems; ++item)
            EXPECT_EQ(c.runs[item].load(), item < 9 ? 50 : 0) << lanes << " lanes, item " << item;
        for (int lane = lanes; lane < kMaxThreads; ++lane) EXPECT_EQ(c.lanesSeen[lane].load(), 0);
    }
}

TEST(WorkerPool, FinishItemsWithdrawsWhatNobodyTookAndWaitsForTheRest) {
    Counts c;
    WorkerPool pool;
    StartWorkerPool(pool, 2, CountItem, &c);
    // The mixing thread stops after the first item, as after a failure.
    BeginItems(pool, 100);
    WaitForItem(pool, 0);
    FinishItems(pool);
    int ran = 0;
    for (int item = 0; item < 100; ++item) ran += c.runs[item].load();
    for (int i = 0; i < 100; ++i) std::this_thread::yield();
    int later = 0;
    for (int item = 0; item < 100; ++item) later += c.runs[item].load();
    EXPECT_EQ(later, ran);
    EXPECT_GE(ran, 1);
    // The next block starts afresh, and a stopped pool can start again.
    BeginItems(pool, 3);
    for (int item = 0; item < 3; ++item) EXPECT_EQ(WaitForItem(pool, item), 0);
    FinishItems(pool);
    StopWorkerPool(pool);
    StartWorkerPool(pool, 3, CountItem, &c);
    BeginItems(pool, 1);
    EXPECT_EQ(WaitForItem(pool, 0), 0);
    FinishItems(pool);
    EXPECT_EQ(c.runs[0].load(), 3);
}

TEST(ThreadedPass, LanesFollowThePreferenceAndTheChannelsWithEffects) {
    const int cores = RequestedLanes(0);
    EXPECT_GE(cores, 1);
    EXPECT_LE(cores, kMaxThreads);
    struct Case {
        int threads, withEffects, lanes;
    } cases[] = {
        {1, 16, 1}, {2, 16, 2}, {3, 2, 2}, {8, 7, 7}, {64, 127, 64}, {65, 127, 64},
        {-1, 16, 1}, {4, 1, 1}, {4, 0, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LanesForRun(RequestedLanes(c.threads), c.withEffects), c.lanes)
            << c.threads << " threads, " << c.withEffects << " channels with effects";
}
