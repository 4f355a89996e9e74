#include "platform/wayland/wl_event_tap.h"

#include <algorithm>

namespace velora::wl {

void TapHub::setHooks(Hooks hooks) {
    std::lock_guard lock(mutex_);
    hooks_ = std::move(hooks);
}

void TapHub::add(WlEventTap* tap) {
    {
        std::lock_guard lock(mutex_);
        taps_.push_back(tap);
    }
    keysChanged();
}

void TapHub::remove(WlEventTap* tap) {
    {
        std::lock_guard lock(mutex_);
        std::erase(taps_, tap);
    }
    keysChanged();
}

void TapHub::keysChanged() {
    update(false);
}

void TapHub::bindAgain() {
    update(true);
}

void TapHub::update(bool forget) {
    std::lock_guard applying(applying_);
    std::vector<InterceptedKey> exact;
    bool switchKeys = false;
    Hooks hooks;
    bool release = false;
    {
        std::lock_guard lock(mutex_);
        if (!down_.load())
            for (WlEventTap* tap : taps_) {
                if (!tap->enabled()) continue;
                for (const InterceptedKey& key : tap->keys()) {
                    if (key.anyModifiers)
                        switchKeys = true;
                    else if (std::find(exact.begin(), exact.end(), key) == exact.end())
                        exact.push_back(key);
                }
            }
        release = hadSwitchKeys_ && !switchKeys;
        hadSwitchKeys_ = switchKeys;
        hooks = hooks_;
    }
    if (forget && hooks.forgetBindings) hooks.forgetBindings();
    if (hooks.bind) hooks.bind(exact);
    if (release && hooks.releaseKeyboard) hooks.releaseKeyboard();
}

void TapHub::deliver(const std::vector<KeyEvent>& events) {
    std::lock_guard lock(mutex_);
    for (WlEventTap* tap : taps_)
        if (tap->enabled()) tap->push(events);
}

void TapHub::shutdown() {
    std::vector<WlEventTap*> taps;
    {
        std::lock_guard lock(mutex_);
        down_.store(true);
        taps = taps_;
        for (WlEventTap* tap : taps)
            tap->wake();
    }
    keysChanged(); // no bindings are left behind
}

bool TapHub::isShutDown() const {
    return down_.load();
}

WlEventTap::WlEventTap(TapHub& hub, std::shared_ptr<const void> owner, EventTapCallback callback)
    : owner_(std::move(owner)), hub_(hub), callback_(std::move(callback)) {
    hub_.add(this);
}

WlEventTap::~WlEventTap() {
    hub_.remove(this);
}

void WlEventTap::setEnabled(bool enabled) {
    {
        std::lock_guard lock(mutex_);
        if (enabled_ == enabled) return;
        enabled_ = enabled;
    }
    hub_.keysChanged();
}

void WlEventTap::setInterceptedKeys(std::vector<InterceptedKey> keys) {
    {
        std::lock_guard lock(mutex_);
        if (keys_ == keys) return;
        keys_ = std::move(keys);
    }
    hub_.keysChanged();
}

bool WlEventTap::enabled() const {
    std::lock_guard lock(mutex_);
    return enabled_;
}

std::vector<InterceptedKey> WlEventTap::keys() const {
    std::lock_guard lock(mutex_);
    return keys_;
}

void WlEventTap::push(const std::vector<KeyEvent>& events) {
    {
        std::lock_guard lock(mutex_);
        for (const KeyEvent& event : events)
            if (queue_.size() < kMaxQueued) queue_.push_back(event);
    }
    ready_.notify_one();
}

void WlEventTap::wake() {
    { std::lock_guard lock(mutex_); }
    ready_.notify_all();
}

void WlEventTap::run() {
    for (;;) {
        KeyEvent event;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [this] { return !queue_.empty() || hub_.isShutDown(); });
            if (hub_.isShutDown()) return;
            event = queue_.front();
            queue_.pop_front();
        }
        callback_(event);
    }
}

} // namespace velora::wl
