#pragma once
// Main-thread port: handing work to the main thread, timers on its run loop, thread sleep and
// the clock. Everything that touches the panel, the preferences or alerts runs on the main thread.

#include <cstdint>
#include <functional>
#include <memory>

namespace velora {

// A one-shot timer on the main run loop.
class Timer {
  public:
    virtual ~Timer() = default;
    virtual bool isValid() const = 0;
    // Stops a pending timer; harmless after it fired.
    virtual void invalidate() = 0;
};

using TimerRef = std::shared_ptr<Timer>;

class MainThreadPort {
  public:
    virtual ~MainThreadPort() = default;

    virtual bool isMainThread() const = 0;
    // Queues the work for the main thread and returns at once.
    virtual void performAsync(std::function<void()> work) = 0;
    // Runs the work on the main thread and returns when it has finished; on the main thread
    // itself the work runs at once.
    virtual void performSync(std::function<void()> work) = 0;
    // Calls the work on the main run loop after the interval (0: on its next turn).
    virtual TimerRef scheduleTimer(double seconds, std::function<void()> work) = 0;

    // Sleeps the calling thread. Returns false, at once or early, when the platform is
    // shutting down, so that threads that loop for ever can end.
    virtual bool sleepFor(double seconds) = 0;
    // Sleeps that an event may cut short (the engine's display-delay poll, cut short by the
    // release of the modifiers). Read wakeCount() before the check that decides to sleep,
    // then sleepUnlessWoken() returns early once wakeSleepers() has been called since that
    // count. The defaults sleep the full time, which keeps a virtual clock's sleeps exact.
    virtual uint64_t wakeCount() const { return 0; }
    virtual void wakeSleepers() {}
    virtual bool sleepUnlessWoken(double seconds, uint64_t seenWakeCount) {
        (void)seenWakeCount;
        return sleepFor(seconds);
    }
    // Seconds on a monotonic clock.
    virtual double now() const = 0;
    // True once the platform has begun to shut down.
    virtual bool isShuttingDown() const = 0;
};

} // namespace velora
