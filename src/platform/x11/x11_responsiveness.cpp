#include "platform/x11/x11_responsiveness.h"

#include <chrono>

#include "platform/x11/x11_process.h"

namespace velora::x11 {

namespace {

constexpr float kLongestTimeout = 60.0f;

} // namespace

void Responsiveness::setTimeout(pid_t pid, float seconds) {
    std::lock_guard lock(mutex_);
    if (seconds > kLongestTimeout) seconds = kLongestTimeout;
    if (pid == 0) {
        defaultTimeout_ = seconds > 0 ? seconds : kDefaultTimeout;
        timeouts_.clear();
    } else if (seconds > 0) {
        timeouts_[pid] = seconds;
    } else {
        timeouts_.erase(pid);
    }
}

float Responsiveness::timeout(pid_t pid) const {
    std::lock_guard lock(mutex_);
    auto it = timeouts_.find(pid);
    return it == timeouts_.end() ? defaultTimeout_ : it->second;
}

bool Responsiveness::stopped(pid_t pid, Mode mode) {
    const double t = now_();
    if (mode == Mode::KnownOnly) {
        std::lock_guard lock(mutex_);
        auto it = runningSeenAt_.find(pid);
        if (it != runningSeenAt_.end() && t - it->second < kStateStandsFor) return false;
    }
    // Every other question reads the state afresh, so a stop shows at once there.
    const bool isStopped = processState(pid) == ProcessState::Stopped;
    std::lock_guard lock(mutex_);
    if (isStopped) {
        runningSeenAt_.erase(pid);
        return true;
    }
    if (runningSeenAt_.size() > 256)
        std::erase_if(runningSeenAt_, [&](const auto& entry) { return t - entry.second >= kStateStandsFor; });
    runningSeenAt_[pid] = t;
    return false;
}

AXError Responsiveness::check(pid_t pid, const std::vector<xcb_window_t>& pingable, Mode mode) {
    if (stopped(pid, mode)) return AXError::CannotComplete;
    if (pingable.empty()) return AXError::Success;
    const xcb_window_t window = pingable.front();
    const double limit = timeout(pid);

    std::unique_lock lock(mutex_);
    if (down_) return AXError::Success;
    Ping& p = pings_[window];
    double t = now_();
    if (p.answeredAt >= 0 && t - p.answeredAt < kAnswerStandsFor && !p.outstanding()) return AXError::Success;
    if (mode == Mode::KnownOnly)
        return p.outstanding() && t - p.sentAt > limit ? AXError::CannotComplete : AXError::Success;
    if (!p.outstanding() || t - p.sentAt > kPingAgainAfter) {
        p.sentAt = t;
        actions_.ping(window, nextToken_++);
    }
    const double sentAt = p.sentAt;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                               std::chrono::duration<double>(sentAt + limit - t));
    const bool ok = answer_.wait_until(lock, deadline, [&] {
        auto it = pings_.find(window);
        return down_ || it == pings_.end() || it->second.answeredAt >= sentAt;
    });
    return ok ? AXError::Success : AXError::CannotComplete;
}

void Responsiveness::answered(xcb_window_t window) {
    {
        std::lock_guard lock(mutex_);
        auto it = pings_.find(window);
        if (it == pings_.end()) return;
        it->second.answeredAt = now_();
    }
    answer_.notify_all();
}

void Responsiveness::forget(xcb_window_t window) {
    {
        std::lock_guard lock(mutex_);
        pings_.erase(window);
    }
    answer_.notify_all();
}

void Responsiveness::shutdown() {
    {
        std::lock_guard lock(mutex_);
        down_ = true;
    }
    answer_.notify_all();
}

} // namespace velora::x11
