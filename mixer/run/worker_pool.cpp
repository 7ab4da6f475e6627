#include "mixer/run/worker_pool.hpp"

#include <signal.h>

namespace varnel {

namespace {

// Takes the next item and runs it with the lock released. Call with the
// lock held and an item waiting.
void RunNextItem(WorkerPool& pool, std::unique_lock<std::mutex>& lock, int lane) {
    const int item = pool.next++;
    ++pool.running;
    lock.unlock();
    const int status = pool.work(pool.context, item, lane);
    lock.lock();
    pool.status[size_t(item)] = status;
    pool.done[size_t(item)] = 1;
    --pool.running;
}

void WorkerLoop(WorkerPool& pool, int lane) {
    std::unique_lock<std::mutex> lock(pool.mutex);
    for (;;) {
        pool.wake.wait(lock, [&] { return pool.stop || pool.next < pool.count; });
        if (pool.stop) return;
        RunNextItem(pool, lock, lane);
        pool.finished.notify_all();
    }
}

// Every signal but the faults a thread raises on itself.
sigset_t AsynchronousSignals() {
    sigset_t set;
    sigfillset(&set);
    for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP}) sigdelset(&set, s);
    return set;
}

}  // namespace

WorkerPool::~WorkerPool() { StopWorkerPool(*this); }

void StartWorkerPool(WorkerPool& pool, int lanes, PoolWork work, void* context) {
    StopWorkerPool(pool);
    pool.work = work;
    pool.context = context;
    pool.lanes = lanes < 1 ? 1 : (lanes > kMaxThreads ? kMaxThreads : lanes);
    pool.count = pool.next = pool.running = 0;
    pool.stop = false;
    // The workers inherit the mask in force when they are created.
    const sigset_t blocked = AsynchronousSignals();
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    pool.threads.reserve(size_t(pool.lanes - 1));
    for (int lane = 1; lane < pool.lanes; ++lane)
        pool.threads.emplace_back(WorkerLoop, std::ref(pool), lane);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void BeginItems(WorkerPool& pool, int count) {
    {
        std::lock_guard<std::mutex> lock(pool.mutex);
        pool.count = count < 0 ? 0 : (count > kMaxPoolItems ? kMaxPoolItems : count);
        pool.next = 0;
        for (int i = 0; i < pool.count; ++i) pool.done[size_t(i)] = 0;
    }
    if (count > 0) pool.wake.notify_all();
}

int WaitForItem(WorkerPool& pool, int item) {
    std::unique_lock<std::mutex> lock(pool.mutex);
    if (item < 0 || item >= pool.count) return 0;
    while (!pool.done[size_t(item)]) {
        if (pool.next < pool.count) {
            RunNextItem(pool, lock, 0);
        } else {
            pool.finished.wait(lock);
        }
    }
    return pool.status[size_t(item)];
}

void FinishItems(WorkerPool& pool) {
    std::unique_lock<std::mutex> lock(pool.mutex);
    pool.count = pool.next;
    pool.finished.wait(lock, [&] { return pool.running == 0; });
}

void StopWorkerPool(WorkerPool& pool) {
    {
        std::lock_guard<std::mutex> lock(pool.mutex);
        pool.stop = true;
    }
    pool.wake.notify_all();
    for (std::thread& t : pool.threads) t.join();
    pool.threads.clear();
    pool.stop = false;
}

}  // namespace varnel
