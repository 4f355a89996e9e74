#pragma once
// Counts the root's children taken off the screen (unmapped or destroyed), as the event loop
// sees them, so that a caller can wait until the server has handled an unmap that another
// connection (Qt's, for the panel) asked for.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace velora::x11 {

class UnmapWatch {
  public:
    uint64_t count() const {
        std::lock_guard lock(mutex_);
        return count_;
    }
    // Event loop: a child of the root went off the screen.
    void seen() {
        {
            std::lock_guard lock(mutex_);
            ++count_;
        }
        changed_.notify_all();
    }
    // Connection lost: waiters stop waiting.
    void shutdown() {
        {
            std::lock_guard lock(mutex_);
            down_ = true;
        }
        changed_.notify_all();
    }
    // Until the count passes `seenBefore`; false at the deadline.
    bool waitPast(uint64_t seenBefore, std::chrono::steady_clock::time_point deadline) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_until(lock, deadline, [&] { return count_ != seenBefore || down_; });
    }

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    uint64_t count_ = 0;
    bool down_ = false;
};

} // namespace velora::x11
