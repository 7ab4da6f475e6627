// A fixed set of threads, started once for the run, that take numbered items
// of work from the mixing thread block after block. Between blocks the
// workers sleep on a condition variable; nothing is started, allocated or
// spun on per block. The mixing thread is lane 0: while it waits for an item
// it takes waiting items itself, so N lanes are N threads at work.
#pragma once

#include <array>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "mixer/utilities/limits.hpp"

namespace varnel {

constexpr int kMaxPoolItems = kChannelTable;

// Runs item `item` of the current block on lane `lane` (0 the mixing thread,
// 1.. the workers); returns 0, or the exit status the run must end with.
using PoolWork = int (*)(void* context, int item, int lane);

struct WorkerPool {
    std::vector<std::thread> threads;   // lanes 1..lanes-1
    std::mutex mutex;
    std::condition_variable wake;       // workers: items to take, or stop
    std::condition_variable finished;   // the mixing thread: an item is done
    PoolWork work = nullptr;
    void* context = nullptr;
    int lanes = 1;
    int count = 0;      // items of the current block
    int next = 0;       // first item nobody has taken
    int running = 0;    // items taken and not yet finished
    bool stop = false;
    std::array<int, kMaxPoolItems> status{};
    std::array<unsigned char, kMaxPoolItems> done{};

    WorkerPool() = default;
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    ~WorkerPool();   // stops and joins the workers
};

// Starts lanes - 1 worker threads (lanes 1..64). The workers block every
// asynchronous signal, so a signal is taken by the mixing thread.
void StartWorkerPool(WorkerPool& pool, int lanes, PoolWork work, void* context);

// Offers items 0..count-1 of a block (count <= kMaxPoolItems); the workers
// take them in order.
void BeginItems(WorkerPool& pool, int count);

// Waits until `item` is done, running items nobody has taken yet on lane 0
// meanwhile; returns the item's status.
int WaitForItem(WorkerPool& pool, int item);

// Withdraws the items nobody has taken and waits for those under way, so
// nothing of the block runs after it returns.
void FinishItems(WorkerPool& pool);

// Stops the workers and joins them; the pool can be started again.
void StopWorkerPool(WorkerPool& pool);

}  // namespace varnel
