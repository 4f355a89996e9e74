#pragma once
// Short-lived threads that are started often and must not outlive their owner: each start
// first joins the threads that have already finished (so finished ones never pile up), and
// joinAll waits for the rest.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace velora {

class ShortLivedThreads {
  public:
    ShortLivedThreads() = default;
    ShortLivedThreads(const ShortLivedThreads&) = delete;
    ShortLivedThreads& operator=(const ShortLivedThreads&) = delete;
    ~ShortLivedThreads();

    void start(std::function<void()> work);
    void joinAll();
    // Threads started and not yet joined.
    size_t count() const;

  private:
    struct Entry {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

} // namespace velora
