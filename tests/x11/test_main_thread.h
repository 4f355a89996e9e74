#pragma once
// A main thread for the X11 tests: the test's own thread, which runs the work handed to it
// when it pumps.

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/main_thread.h"

namespace velora::test {

class TestMainThread final : public MainThreadPort {
  public:
    bool isMainThread() const override { return std::this_thread::get_id() == id_; }
    void performAsync(std::function<void()> work) override {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
    }
    void performSync(std::function<void()> work) override {
        if (isMainThread()) return work();
        std::promise<void> done;
        performAsync([&] {
            work();
            done.set_value();
        });
        done.get_future().wait();
    }
    // Run by pump() once due on this port's clock (advance() makes them due at once).
    TimerRef scheduleTimer(double seconds, std::function<void()> work) override {
        std::lock_guard lock(mutex_);
        timers_.emplace_back(now() + seconds, std::move(work));
        return nullptr;
    }
    bool sleepFor(double seconds) override {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        return true;
    }
    // The steady clock, moved on by advance(): components that read the time through this
    // port (the answer and grace periods of the X11 desktop) see it pass without a wait.
    // Once frozen, only advance() moves it.
    double now() const override {
        const double frozen = frozen_.load();
        if (frozen >= 0) return frozen;
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count() +
               offset_.load();
    }
    void advance(double seconds) {
        if (frozen_.load() >= 0)
            frozen_.store(frozen_.load() + seconds);
        else
            offset_.store(offset_.load() + seconds);
    }
    void freeze() { frozen_.store(now()); }
    bool isShuttingDown() const override { return false; }
    uint64_t wakeCount() const override { return wakes_.load(); }
    void wakeSleepers() override { wakes_.fetch_add(1); }

    // Runs what is queued; how many ran.
    int pump() {
        for (int ran = 0;; ++ran) {
            std::function<void()> work;
            {
                std::lock_guard lock(mutex_);
                for (auto it = timers_.begin(); it != timers_.end();)
                    if (it->first <= now()) {
                        queue_.push_back(std::move(it->second));
                        it = timers_.erase(it);
                    } else {
                        ++it;
                    }
                if (queue_.empty()) return ran;
                work = std::move(queue_.front());
                queue_.pop_front();
            }
            work();
        }
    }

  private:
    const std::thread::id id_ = std::this_thread::get_id();
    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
    std::vector<std::pair<double, std::function<void()>>> timers_; // due time, work
    std::atomic<uint64_t> wakes_{0};
    std::atomic<double> offset_{0.0}, frozen_{-1.0};
};

} // namespace velora::test
