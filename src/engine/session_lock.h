#pragma once
// The engine's session lock: it keeps the steps of one switch apart. A polling thread holds
// it for its whole run, including the wait for the main thread to show the panel; the end,
// cancel and command operations take it for their checks and work.
//
// The main thread never blocks on it. If the main thread waited for a polling thread that is
// itself waiting for the main thread to show the panel, neither would move. So the main
// thread asks with lockOrRetryLater(): when the lock is free it takes it at once; otherwise
// it leaves a retry behind and returns to its run loop, and the holder's unlock() hands the
// retry back to the main thread. Other threads wait in lock().

#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace velora {

class SessionLock {
  public:
    // Blocks until the lock is free. Not on the main thread.
    void lock();
    // Main thread: true with the lock taken; false with `retry` queued for the main thread,
    // to run once the current holder has let go.
    bool lockOrRetryLater(std::function<void()> retry);
    // Lets go; hands the queued retries to the main thread (without waiting).
    void unlock();

  private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool held_ = false;
    std::vector<std::function<void()>> retries_;
};

// Holds a SessionLock from construction (already taken) to destruction.
class SessionLockHold {
  public:
    explicit SessionLockHold(SessionLock& lock) : lock_(lock) {}
    ~SessionLockHold() { lock_.unlock(); }
    SessionLockHold(const SessionLockHold&) = delete;
    SessionLockHold& operator=(const SessionLockHold&) = delete;

  private:
    SessionLock& lock_;
};

} // namespace velora
