// Main thread and virtual clock of the simulated desktop.
#include <algorithm>
#include <chrono>

#include "platform/sim/sim_state.h"

namespace velora::sim {

namespace {

class SimTimer final : public Timer {
  public:
    explicit SimTimer(std::shared_ptr<std::atomic<bool>> valid) : valid_(std::move(valid)) {}
    bool isValid() const override { return valid_->load(); }
    void invalidate() override { valid_->store(false); }

  private:
    std::shared_ptr<std::atomic<bool>> valid_;
};

class SimMainThread final : public MainThreadPort {
  public:
    explicit SimMainThread(SimDesktop::State& s) : s_(s) {}

    bool isMainThread() const override { return std::this_thread::get_id() == s_.mainThreadId; }

    void performAsync(std::function<void()> work) override { s_.post(std::move(work)); }

    void performSync(std::function<void()> work) override {
        if (isMainThread()) {
            work();
            return;
        }
        auto done = std::make_shared<bool>(false);
        s_.post([work = std::move(work), done, this] {
            work();
            std::lock_guard lock(s_.clockMutex);
            *done = true;
            s_.clockChanged.notify_all();
        });
        std::unique_lock lock(s_.clockMutex);
        s_.clockChanged.wait(lock, [&] { return *done || s_.shuttingDown.load(); });
    }

    TimerRef scheduleTimer(double seconds, std::function<void()> work) override {
        auto valid = std::make_shared<std::atomic<bool>>(true);
        {
            std::lock_guard lock(s_.clockMutex);
            s_.timers.push_back({s_.now + std::max(0.0, seconds), s_.timerOrder++, std::move(work), valid});
        }
        s_.clockChanged.notify_all();
        return std::make_shared<SimTimer>(valid);
    }

    bool sleepFor(double seconds) override {
        if (s_.shuttingDown) return false;
        std::unique_lock lock(s_.clockMutex);
        return sleepLocked(lock, seconds, nullptr);
    }

    uint64_t wakeCount() const override {
        std::lock_guard lock(s_.clockMutex);
        return s_.wakes;
    }

    void wakeSleepers() override {
        {
            std::lock_guard lock(s_.clockMutex);
            ++s_.wakes;
        }
        s_.clockChanged.notify_all();
    }

    // Woken on the virtual clock, or by wakeSleepers() since `seenWakeCount`.
    bool sleepUnlessWoken(double seconds, uint64_t seenWakeCount) override {
        if (s_.shuttingDown) return false;
        std::unique_lock lock(s_.clockMutex);
        if (s_.wakes != seenWakeCount) return true;
        return sleepLocked(lock, seconds, &seenWakeCount);
    }

    double now() const override {
        std::lock_guard lock(s_.clockMutex);
        return s_.now;
    }

    bool isShuttingDown() const override { return s_.shuttingDown; }

  private:
    // With `seenWakes`, a wake-up since that count ends the sleep as well.
    bool sleepLocked(std::unique_lock<std::mutex>& lock, double seconds, const uint64_t* seenWakes) {
        // The main thread is the test's own: its sleeps pass the virtual time at once.
        if (isMainThread()) {
            s_.now += seconds;
            s_.clockChanged.notify_all();
            return !s_.shuttingDown;
        }
        double until = s_.now + seconds;
        ++s_.sleepers;
        s_.clockChanged.notify_all();
        s_.clockChanged.wait(lock, [&] {
            return s_.now >= until || s_.shuttingDown.load() || (seenWakes && s_.wakes != *seenWakes);
        });
        --s_.sleepers;
        return !s_.shuttingDown;
    }

    SimDesktop::State& s_;
};

} // namespace

std::unique_ptr<MainThreadPort> makeMainThread(SimDesktop::State& s) {
    return std::make_unique<SimMainThread>(s);
}

int SimDesktop::pump() {
    State& s = *state_;
    int ran = 0;
    // Bounded so that work that keeps re-queuing itself cannot hang a test.
    for (int round = 0; round < 1000; ++round) {
        std::function<void()> work;
        {
            std::lock_guard lock(s.clockMutex);
            if (!s.mainQueue.empty()) {
                work = std::move(s.mainQueue.front());
                s.mainQueue.pop_front();
            } else {
                auto due = std::min_element(s.timers.begin(), s.timers.end(), [](auto& a, auto& b) {
                    return a.due < b.due || (a.due == b.due && a.order < b.order);
                });
                if (due == s.timers.end() || due->due > s.now) break;
                auto valid = due->valid;
                work = [w = std::move(due->work), valid] {
                    if (valid->exchange(false)) w();
                };
                s.timers.erase(due);
            }
        }
        work();
        ++ran;
    }
    return ran;
}

bool SimDesktop::pumpUntil(const std::function<bool()>& condition, double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (true) {
        pump();
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::unique_lock lock(state_->clockMutex);
        state_->clockChanged.wait_for(lock, std::chrono::milliseconds(2));
    }
}

double SimDesktop::now() const {
    std::lock_guard lock(state_->clockMutex);
    return state_->now;
}

void SimDesktop::advance(double seconds) {
    {
        std::lock_guard lock(state_->clockMutex);
        state_->now += seconds;
    }
    state_->clockChanged.notify_all();
}

bool SimDesktop::advanceUntil(const std::function<bool()>& condition, double maxVirtualSeconds, double step) {
    double end = now() + maxVirtualSeconds;
    pump();
    while (!condition()) {
        if (now() >= end) return false;
        advance(step);
        // Give woken threads a moment of real time to reach their next sleep or hand-off.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        pump();
    }
    return true;
}

int SimDesktop::sleepers() const {
    std::lock_guard lock(state_->clockMutex);
    return state_->sleepers;
}

bool SimDesktop::waitForSleepers(int n, double seconds) {
    return pumpUntil([&] { return sleepers() >= n; }, seconds);
}

} // namespace velora::sim
