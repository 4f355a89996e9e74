#include "hotkeys/sg_hot_key_center.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "hotkeys/hot_key_matching.h"
#include "platform/platform.h"

namespace velora {

namespace {

// A held hot key fires on every this many auto-repeat events.
constexpr int32_t kRepeatsPerFiring = 7;

std::mutex& instanceMutex() {
    static std::mutex mutex;
    return mutex;
}

SGHotKeyCenter*& instance() {
    static SGHotKeyCenter* center = nullptr;
    return center;
}

} // namespace

SGHotKeyCenter& SGHotKeyCenter::sharedCenter() {
    std::lock_guard lock(instanceMutex());
    SGHotKeyCenter*& center = instance();
    if (!center) center = new SGHotKeyCenter();
    return *center;
}

void SGHotKeyCenter::resetForTesting() {
    SGHotKeyCenter* center = nullptr;
    {
        std::lock_guard lock(instanceMutex());
        center = std::exchange(instance(), nullptr);
    }
    if (!center) return;
    if (!hasPlatform() || !mainThread().isShuttingDown()) {
        std::fputs("SGHotKeyCenter::resetForTesting: shut the platform down first\n", stderr);
        std::abort();
    }
    delete center;
}

SGHotKeyCenter::SGHotKeyCenter() {
    tapThread_ = std::thread([this] { runTap(); });
}

SGHotKeyCenter::~SGHotKeyCenter() {
    if (tapThread_.joinable()) tapThread_.join();
    endThreads_.joinAll();
}

// --- registry

bool SGHotKeyCenter::registerHotKey(const SGHotKeyRef& hotKey) {
    if (!hotKey) return true;
    std::lock_guard lock(configMutex_);
    registry_.replace(hotKey, hotKey->keyCombo().isValidHotKeyCombo());
    publishInterceptedKeys();
    return true;
}

void SGHotKeyCenter::unregisterHotKey(const SGHotKeyRef& hotKey) {
    if (!hotKey) return;
    std::lock_guard lock(configMutex_);
    if (!registry_.contains(hotKey)) return;
    registry_.replace(hotKey, false);
    publishInterceptedKeys();
}

void SGHotKeyCenter::replaceHotKeys(const std::vector<SGHotKeyRef>& old,
                                    const std::vector<SGHotKeyRef>& fresh) {
    std::lock_guard lock(configMutex_);
    for (const SGHotKeyRef& hotKey : old)
        if (hotKey) registry_.replace(hotKey, false);
    for (const SGHotKeyRef& hotKey : fresh)
        if (hotKey) registry_.replace(hotKey, hotKey->keyCombo().isValidHotKeyCombo());
    publishInterceptedKeys();
}

std::vector<SGHotKeyRef> SGHotKeyCenter::allHotKeys() const {
    return *registry_.snapshot();
}

SGHotKeyRef SGHotKeyCenter::hotKeyWithIdentifier(const std::string& identifier) const {
    for (const SGHotKeyRef& hotKey : *registry_.snapshot())
        if (hotKey->hasIdentifier(identifier)) return hotKey;
    return nullptr;
}

void SGHotKeyCenter::setCommandKeys(std::vector<int64_t> keyCodes) {
    std::lock_guard lock(configMutex_);
    commandKeys_ = std::move(keyCodes);
    publishInterceptedKeys();
}

void SGHotKeyCenter::publishInterceptedKeys() {
    interceptedKeys_ = interceptedKeysFor(*registry_.snapshot(), commandKeys_);
    if (tap_) tap_->setInterceptedKeys(interceptedKeys_);
}

// --- keys held elsewhere

std::vector<InterceptedKey> SGHotKeyCenter::refusedKeys() const {
    std::lock_guard lock(refusedMutex_);
    return *refused_;
}

bool SGHotKeyCenter::isRefusedKey(const InterceptedKey& key) const {
    std::shared_ptr<const std::vector<InterceptedKey>> refused;
    {
        std::lock_guard lock(refusedMutex_);
        refused = refused_;
    }
    return std::find(refused->begin(), refused->end(), key) != refused->end();
}

bool SGHotKeyCenter::isRefused(const SGHotKey& hotKey) const {
    return isRefusedKey(interceptedKeyFor(hotKey));
}

void SGHotKeyCenter::setRefusalListener(std::function<void()> listener) {
    refusalListener_->listener = std::move(listener);
}

void SGHotKeyCenter::retryRefusedKeys() {
    std::lock_guard lock(configMutex_);
    if (tap_) tap_->retryRefusedKeys();
}

void SGHotKeyCenter::onRefused(std::vector<InterceptedKey> refused) {
    {
        std::lock_guard lock(refusedMutex_);
        refused_ = std::make_shared<const std::vector<InterceptedKey>>(std::move(refused));
    }
    mainThread().performAsync([slot = std::weak_ptr<ListenerSlot>(refusalListener_)] {
        const std::shared_ptr<ListenerSlot> current = slot.lock();
        if (!current || !current->listener) return;
        const std::function<void()> listener = current->listener; // it may replace itself
        listener();
    });
}

// --- shared flags

void SGHotKeyCenter::setDelegate(SGHotKeyCenterDelegate* delegate) {
    delegate_.store(delegate, std::memory_order_release);
}

bool SGHotKeyCenter::isRecording() const {
    return isRecording_.load();
}
void SGHotKeyCenter::setIsRecording(bool recording) {
    std::lock_guard lock(configMutex_);
    isRecording_.store(recording);
    if (tap_) tap_->setRecording(recording);
}

int32_t SGHotKeyCenter::swallowedRepeat() const {
    return swallowedRepeat_.load();
}
void SGHotKeyCenter::setSwallowedRepeat(int32_t count) {
    swallowedRepeat_.store(count);
}

// --- the tap

void SGHotKeyCenter::runTap() {
    std::unique_ptr<EventTap> tap =
        input().createEventTap([this](const KeyEvent& event) { return handleEvent(event); });
    // Without a tap there is nothing to run: keys reach the applications untouched.
    if (!tap) return;
    tap->setRefusalObserver([this](std::vector<InterceptedKey> refused) { onRefused(std::move(refused)); });
    {
        std::lock_guard lock(configMutex_);
        tap_ = tap.get();
        tap_->setInterceptedKeys(interceptedKeys_);
        if (isRecording_.load()) tap_->setRecording(true);
    }
    tap->setEnabled(true);
    tap->run();
    std::lock_guard lock(configMutex_);
    tap_ = nullptr;
}

TapVerdict SGHotKeyCenter::handleEvent(const KeyEvent& event) {
    switch (event.type) {
    case KeyEventType::TapDisabledByTimeout:
    case KeyEventType::TapDisabledByUserInput:
        // The desktop turned the tap off (too slow, or the user's doing): back on at once.
        tap_->setEnabled(true);
        return TapVerdict::Pass;
    default:
        break;
    }
    if (isRecording_.load()) return TapVerdict::Pass;
    switch (event.type) {
    case KeyEventType::FlagsChanged:
        if (heldModifierMask(event.flags) == 0) startEndHandling();
        return TapVerdict::Pass;
    case KeyEventType::KeyUp: {
        // Key-ups are never offered to the delegate; only those of hot keys are swallowed.
        SGHotKeyRef hotKey = findMatchingHotKey(*registry_.snapshot(), event);
        return hotKey && !isRefused(*hotKey) ? TapVerdict::Swallow : TapVerdict::Pass;
    }
    case KeyEventType::KeyDown:
        return handleKeyDown(event);
    default:
        return TapVerdict::Pass;
    }
}

TapVerdict SGHotKeyCenter::handleKeyDown(const KeyEvent& event) {
    if (SGHotKeyRef hotKey = findMatchingHotKey(*registry_.snapshot(), event)) {
        // Another program acts on this key too: leave it to that one.
        if (isRefused(*hotKey)) return TapVerdict::Pass;
        if (!event.isAutoRepeat || repeatFires()) fire(hotKey);
        return TapVerdict::Swallow;
    }
    SGHotKeyCenterDelegate* delegate = delegate_.load(std::memory_order_acquire);
    return delegate && delegate->shouldHandleKey(event) ? TapVerdict::Swallow : TapVerdict::Pass;
}

bool SGHotKeyCenter::repeatFires() {
    int32_t current = swallowedRepeat_.load();
    int32_t next = 0;
    do {
        // Incremented as a 32-bit value that wraps, and the remainder keeps its sign, as a
        // signed 32-bit division gives it.
        next = static_cast<int32_t>(static_cast<uint32_t>(current) + 1u) % kRepeatsPerFiring;
    } while (!swallowedRepeat_.compare_exchange_weak(current, next));
    return next == 0;
}

void SGHotKeyCenter::fire(const SGHotKeyRef& hotKey) {
    mainThread().performAsync([hotKey] { hotKey->invoke(); });
}

void SGHotKeyCenter::startEndHandling() {
    SGHotKeyCenterDelegate* delegate = delegate_.load(std::memory_order_acquire);
    if (!delegate) return;
    // A switch's polling thread sleeps until its next poll unless woken: waking it from here
    // lets it see the release without waiting for the end thread to start.
    mainThread().wakeSleepers();
    endThreads_.start([delegate] { delegate->endHandling(); });
}

} // namespace velora
