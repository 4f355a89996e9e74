#include "platform/x11/x11_event_tap.h"

#include <algorithm>

namespace velora::x11 {

void TapHub::add(X11EventTap* tap) {
    std::lock_guard lock(mutex_);
    taps_.push_back(tap);
}

void TapHub::remove(X11EventTap* tap) {
    {
        std::lock_guard lock(mutex_);
        taps_.erase(std::remove(taps_.begin(), taps_.end(), tap), taps_.end());
    }
    updateGrabs();
}

void TapHub::updateGrabs() {
    std::lock_guard applying(applying_);
    std::set<KeyGrab> wanted;
    {
        std::lock_guard lock(mutex_);
        if (!down_.load()) {
            for (X11EventTap* tap : taps_) {
                if (!tap->enabled()) continue;
                const auto more = grabsFor(tap->keys(), map_);
                wanted.insert(more.begin(), more.end());
            }
        }
    }
    grabs_.apply(wanted);
}

void TapHub::setModifierMap(const ModifierMap& map) {
    {
        std::lock_guard lock(mutex_);
        map_ = map;
    }
    updateGrabs();
}

ModifierMap TapHub::modifierMap() const {
    std::lock_guard lock(mutex_);
    return map_;
}

void TapHub::deliver(const std::vector<KeyEvent>& events) {
    if (events.empty()) return;
    std::lock_guard lock(mutex_);
    for (X11EventTap* tap : taps_)
        if (tap->enabled()) tap->push(events);
}

void TapHub::shutdown() {
    down_.store(true);
    std::lock_guard lock(mutex_);
    for (X11EventTap* tap : taps_) tap->wake();
}

bool TapHub::isShutDown() const { return down_.load(); }

X11EventTap::X11EventTap(TapHub& hub, std::shared_ptr<const void> owner, EventTapCallback callback)
    : owner_(std::move(owner)), hub_(hub), callback_(std::move(callback)) {
    hub_.add(this);
}

X11EventTap::~X11EventTap() { hub_.remove(this); }

bool X11EventTap::enabled() const {
    std::lock_guard lock(mutex_);
    return enabled_;
}

std::vector<InterceptedKey> X11EventTap::keys() const {
    std::lock_guard lock(mutex_);
    return keys_;
}

void X11EventTap::setEnabled(bool enabled) {
    {
        std::lock_guard lock(mutex_);
        if (enabled_ == enabled) return;
        enabled_ = enabled;
        if (!enabled) queue_.clear();
    }
    hub_.updateGrabs();
}

void X11EventTap::setInterceptedKeys(std::vector<InterceptedKey> keys) {
    {
        std::lock_guard lock(mutex_);
        if (keys_ == keys) return;
        keys_ = std::move(keys);
    }
    hub_.updateGrabs();
}

void X11EventTap::push(const std::vector<KeyEvent>& events) {
    {
        std::lock_guard lock(mutex_);
        for (const KeyEvent& e : events) {
            if (queue_.size() >= kMaxQueued) queue_.pop_front();
            queue_.push_back(e);
        }
    }
    ready_.notify_all();
}

void X11EventTap::wake() {
    // With the hub's lock held: taking the tap's lock orders the wake after a waiter's check.
    { std::lock_guard lock(mutex_); }
    ready_.notify_all();
}

void X11EventTap::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        ready_.wait(lock, [&] { return !queue_.empty() || hub_.isShutDown(); });
        if (hub_.isShutDown()) return;
        const KeyEvent event = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        if (callback_) callback_(event);
        lock.lock();
    }
}

} // namespace velora::x11
