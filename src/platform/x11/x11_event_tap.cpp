#include "platform/x11/x11_event_tap.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <map>

namespace velora::x11 {

void TapHub::add(X11EventTap* tap) {
    std::lock_guard lock(mutex_);
    taps_.push_back(tap);
}

void TapHub::remove(X11EventTap* tap) {
    {
        std::lock_guard applying(applying_);
        std::lock_guard lock(mutex_);
        taps_.erase(std::remove(taps_.begin(), taps_.end(), tap), taps_.end());
    }
    updateGrabs();
}

TapHub::~TapHub() {
    shutdown();
}

void TapHub::updateGrabs() {
    std::lock_guard applying(applying_);
    std::set<KeyGrab> wanted;
    ModifierMap map;
    std::vector<std::pair<X11EventTap*, std::vector<InterceptedKey>>> tapKeys;
    bool switching = false;
    {
        std::lock_guard lock(mutex_);
        map = map_;
        const bool down = down_.load();
        for (X11EventTap* tap : taps_) {
            tapKeys.emplace_back(tap, down || !tap->enabled() ? std::vector<InterceptedKey>() : tap->keys());
            for (const InterceptedKey& key : tapKeys.back().second)
                switching = switching || key.anyModifiers;
        }
    }
    if (!switching)
        grabs_.ungrabKeyboard();
    else if (!grabs_.holdsKeyboard())
        grabs_.grabKeyboard(keyTime_ ? keyTime_() : XCB_CURRENT_TIME);
    // Under the keyboard grab the switch's keys are taken already.
    if (grabs_.holdsKeyboard())
        for (auto& [tap, keys] : tapKeys)
            std::erase_if(keys, [](const InterceptedKey& key) { return key.anyModifiers; });
    for (const auto& [tap, keys] : tapKeys) {
        const auto more = grabsFor(keys, map);
        wanted.insert(more.begin(), more.end());
    }
    const std::set<KeyGrab> refused = grabs_.apply(wanted);
    // A key refused under one lock state is given up under all of them: held under some and
    // not others, it would be swallowed or not depending on Caps Lock and NumLock.
    std::set<KeyGrab> givenUp;
    std::vector<std::vector<InterceptedKey>> refusedKeys(tapKeys.size());
    for (std::size_t i = 0; i < tapKeys.size(); ++i) {
        for (const InterceptedKey& key : tapKeys[i].second) {
            const std::set<KeyGrab> grabs = grabsFor({key}, map);
            if (std::none_of(grabs.begin(), grabs.end(),
                             [&](const KeyGrab& g) { return refused.count(g) > 0; }))
                continue;
            refusedKeys[i].push_back(key);
            givenUp.insert(grabs.begin(), grabs.end());
        }
    }
    if (!givenUp.empty()) {
        std::set<KeyGrab> kept;
        std::set_difference(wanted.begin(), wanted.end(), givenUp.begin(), givenUp.end(),
                            std::inserter(kept, kept.end()));
        grabs_.apply(kept);
    }
    {
        std::lock_guard lock(mutex_);
        refused_ = givenUp;
        failed_ = refused;
        keyboardMissing_ = switching && !grabs_.holdsKeyboard();
        if ((!refused_.empty() || keyboardMissing_) && !retrier_.joinable() && !down_.load())
            retrier_ = std::thread([this] { retryLoop(); });
    }
    retryWake_.notify_all();
    // Taps cannot go away meanwhile: removing one waits for the applying lock.
    for (std::size_t i = 0; i < tapKeys.size(); ++i)
        tapKeys[i].first->setRefused(std::move(refusedKeys[i]));
}

void TapHub::retryLoop() {
    std::unique_lock lock(mutex_);
    while (!down_.load()) {
        // With nothing refused the thread sleeps until something is: no timer runs on a
        // desktop without conflicts.
        retryWake_.wait(lock, [&] { return down_.load() || !refused_.empty() || keyboardMissing_; });
        // The keyboard a switch wants is asked for again soon: the client that holds it (icewm
        // between the Super key's press and the next key) lets go within moments.
        const bool soon = keyboardMissing_;
        retryWake_.wait_for(lock, std::chrono::duration<double>(soon ? kKeyboardRetrySeconds : kRetrySeconds),
                            [&] { return down_.load() || keyboardMissing_ != soon; });
        if (down_.load() || keyboardMissing_ != soon) continue;
        const std::set<KeyGrab> failed = failed_;
        const bool keyboard = keyboardMissing_;
        lock.unlock();
        // Only a change on the server's side is worth an update: the keyboard a switch wants
        // is free now, or a grab the server refused is. (A keyboard taken just after the
        // switch ended is let go by the update.)
        if ((keyboard && grabs_.grabKeyboard(keyTime_ ? keyTime_() : XCB_CURRENT_TIME)) ||
            (!failed.empty() && grabs_.canTakeAny(failed)))
            updateGrabs();
        lock.lock();
    }
}

void TapHub::retryRefused() {
    if (hasRefused()) updateGrabs();
}

bool TapHub::hasRefused() const {
    std::lock_guard lock(mutex_);
    return !refused_.empty();
}

bool TapHub::canTake(const std::vector<InterceptedKey>& keys) {
    std::lock_guard applying(applying_);
    return grabs_.canTake(grabsFor(keys, modifierMap()));
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
    std::thread retrier;
    {
        std::lock_guard lock(mutex_);
        for (X11EventTap* tap : taps_)
            tap->wake();
        retryWake_.notify_all();
        retrier = std::move(retrier_);
    }
    if (retrier.joinable() && retrier.get_id() != std::this_thread::get_id())
        retrier.join();
    else if (retrier.joinable())
        retrier.detach();
}

bool TapHub::isShutDown() const {
    return down_.load();
}

X11EventTap::X11EventTap(TapHub& hub, std::shared_ptr<const void> owner, EventTapCallback callback)
    : owner_(std::move(owner)), hub_(hub), callback_(std::move(callback)) {
    hub_.add(this);
}

X11EventTap::~X11EventTap() {
    hub_.remove(this);
}

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

std::vector<InterceptedKey> X11EventTap::refusedKeys() const {
    std::lock_guard lock(mutex_);
    return refused_;
}

void X11EventTap::setRefusalObserver(RefusalObserver observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

void X11EventTap::retryRefusedKeys() {
    hub_.retryRefused();
}

void X11EventTap::setRefused(std::vector<InterceptedKey> refused) {
    RefusalObserver observer;
    {
        std::lock_guard lock(mutex_);
        if (refused == refused_) return;
        refused_ = refused;
        observer = observer_;
    }
    if (observer) observer(std::move(refused));
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
