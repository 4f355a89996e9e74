#include "platform/wayland/wl_switch_reading.h"

namespace velora::wl {

void SwitchReading::begin() {
    std::lock_guard lock(mutex_);
    state_ = State::Reading;
    treeTaken_ = false;
    outputs_.reset();
}

void SwitchReading::done(std::optional<std::string> outputs) {
    {
        std::lock_guard lock(mutex_);
        if (state_ != State::Reading) return;
        state_ = State::Ready;
        outputs_ = std::move(outputs);
    }
    done_.notify_all();
}

void SwitchReading::end() {
    {
        std::lock_guard lock(mutex_);
        state_ = State::None;
        outputs_.reset();
    }
    done_.notify_all();
}

void SwitchReading::waitLocked(std::unique_lock<std::mutex>& lock) {
    // The reading is straight-line work on the event thread (two IPC requests), always ended
    // by done() or end().
    done_.wait(lock, [this] { return state_ != State::Reading; });
}

bool SwitchReading::takeTree() {
    std::unique_lock lock(mutex_);
    waitLocked(lock);
    if (state_ != State::Ready || treeTaken_) return false;
    treeTaken_ = true;
    return true;
}

std::optional<std::string> SwitchReading::outputs() {
    std::unique_lock lock(mutex_);
    waitLocked(lock);
    return state_ == State::Ready ? outputs_ : std::nullopt;
}

} // namespace velora::wl
