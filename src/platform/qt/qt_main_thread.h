#pragma once
// The main-thread port over the Qt event loop of the thread that creates it.
//
// Work from other threads goes through a std::mutex-guarded queue; an eventfd watched by a
// QSocketNotifier wakes the event loop. Waiting callers wait on a std::condition_variable.
// Only std primitives synchronise the threads, so ThreadSanitizer sees every hand-off (Qt's
// own queued invocations are invisible to it in a Qt not built with the sanitizer).
//
// Shutting down: after shutdown(), sleepFor() returns false at once and wakes current
// sleepers; a performSync() whose work has not started yet returns without running it (the
// work is dropped, so a thread winding down never waits on an event loop that has stopped,
// and nothing it captured is touched after it returned). Queued asynchronous work and timers
// still run while the event loop turns.
//
// Lifetime: create it on the main thread with a Q(Core)Application in place, and destroy it
// there after every other thread that uses it has ended.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/main_thread.h"

class QSocketNotifier;

namespace velora {

class QtMainThread final : public MainThreadPort {
  public:
    QtMainThread();
    ~QtMainThread() override;
    QtMainThread(const QtMainThread&) = delete;
    QtMainThread& operator=(const QtMainThread&) = delete;

    bool isMainThread() const override;
    void performAsync(std::function<void()> work) override;
    void performSync(std::function<void()> work) override;
    TimerRef scheduleTimer(double seconds, std::function<void()> work) override;
    bool sleepFor(double seconds) override;
    uint64_t wakeCount() const override;
    void wakeSleepers() override;
    bool sleepUnlessWoken(double seconds, uint64_t seenWakeCount) override;
    double now() const override;
    bool isShuttingDown() const override;

    // Ends sleeps and pending waits (see above). Callable from any thread, more than once.
    void shutdown();
    // Threads now blocked in sleepFor, sleepUnlessWoken or performSync (counted under the lock
    // they wait with, so a thread counted here is reached by the next wake-up or shutdown).
    int waitingThreads() const;

  private:
    struct SyncJob;

    void drainQueue();

    const std::thread::id mainThreadId_;
    int wakeFd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;

    std::mutex mutex_;
    std::deque<std::function<void()>> queue_; // guarded by mutex_
    std::condition_variable syncFinished_;    // a SyncJob changed state
    std::condition_variable shutdownSignal_;  // wakes sleepFor and sleepUnlessWoken
    std::atomic<uint64_t> wakes_{0};          // changed under mutex_
    std::atomic<int> waiting_{0};             // changed under mutex_
    std::atomic<bool> shuttingDown_{false};
};

} // namespace velora
