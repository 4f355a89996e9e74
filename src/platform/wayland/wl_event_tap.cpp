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
    std::vector<InterceptedKey> exact, withheld;
    bool switchKeys = false;
    Hooks hooks;
    bool release = false;
    Refusal before;
    {
        std::lock_guard lock(mutex_);
        if (!down_.load())
            for (WlEventTap* tap : taps_) {
                if (!tap->enabled()) continue;
                const bool recording = tap->recording();
                for (const InterceptedKey& key : tap->keys()) {
                    std::vector<InterceptedKey>& into = recording ? withheld : exact;
                    if (key.anyModifiers)
                        switchKeys = true;
                    else if (std::find(into.begin(), into.end(), key) == into.end())
                        into.push_back(key);
                }
            }
        release = hadSwitchKeys_ && !switchKeys;
        hadSwitchKeys_ = switchKeys;
        hooks = hooks_;
        before = refusal_;
    }
    if (forget && hooks.forgetBindings) hooks.forgetBindings();
    Refusal refused;
    if (hooks.bind) refused = hooks.bind(exact);
    // A key withheld while a shortcut is recorded keeps its refusal: it was not tried again.
    for (const InterceptedKey& key : before.keys)
        if (std::find(withheld.begin(), withheld.end(), key) != withheld.end() &&
            std::find(exact.begin(), exact.end(), key) == exact.end()) {
            refused.keys.push_back(key);
            if (refused.reason.empty()) refused.reason = before.reason;
        }
    std::vector<RefusalObserver> observers;
    {
        std::lock_guard lock(mutex_);
        if (refused.keys != refusal_.keys && !down_.load())
            for (WlEventTap* tap : taps_)
                if (RefusalObserver observer = tap->observer()) observers.push_back(std::move(observer));
        refusal_ = refused;
    }
    for (const RefusalObserver& observer : observers)
        observer(refused.keys);
    if (release && hooks.releaseKeyboard) hooks.releaseKeyboard();
}

TapHub::Refusal TapHub::refusal() const {
    std::lock_guard lock(mutex_);
    return refusal_;
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

void WlEventTap::setRecording(bool recording) {
    {
        std::lock_guard lock(mutex_);
        if (recording_ == recording) return;
        recording_ = recording;
    }
    hub_.keysChanged();
}

std::vector<InterceptedKey> WlEventTap::refusedKeys() const {
    return hub_.refusal().keys;
}

void WlEventTap::setRefusalObserver(RefusalObserver observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

void WlEventTap::retryRefusedKeys() {
    hub_.keysChanged();
}

bool WlEventTap::enabled() const {
    std::lock_guard lock(mutex_);
    return enabled_;
}

bool WlEventTap::recording() const {
    std::lock_guard lock(mutex_);
    return recording_;
}

RefusalObserver WlEventTap::observer() const {
    std::lock_guard lock(mutex_);
    return observer_;
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
