#include "engine/session_lock.h"

#include "platform/platform.h"

namespace velora {

void SessionLock::lock() {
    std::unique_lock guard(mutex_);
    released_.wait(guard, [&] { return !held_; });
    held_ = true;
}

bool SessionLock::lockOrRetryLater(std::function<void()> retry) {
    std::lock_guard guard(mutex_);
    if (!held_) {
        held_ = true;
        return true;
    }
    retries_.push_back(std::move(retry));
    return false;
}

void SessionLock::unlock() {
    std::vector<std::function<void()>> retries;
    {
        std::lock_guard guard(mutex_);
        held_ = false;
        retries.swap(retries_);
    }
    released_.notify_all();
    for (auto& retry : retries)
        mainThread().performAsync(std::move(retry));
}

} // namespace velora
