// Input port of the simulated desktop: live modifiers, the event tap, the keyboard layout.
#include <algorithm>
#include <chrono>
#include <deque>

#include "platform/sim/sim_state.h"
#include "platform/virtual_keys.h"

namespace velora::sim {

class SimEventTap final : public EventTap {
  public:
    SimEventTap(SimDesktop::State& s, EventTapCallback cb) : s_(s), cb_(std::move(cb)) {}
    ~SimEventTap() override {
        std::lock_guard lock(s_.mutex);
        if (s_.tap == this) s_.tap = nullptr;
        s_.tapChanged.notify_all();
    }

    void setEnabled(bool enabled) override {
        std::lock_guard lock(s_.mutex);
        enabled_ = enabled;
    }
    void setInterceptedKeys(std::vector<InterceptedKey> keys) override {
        {
            std::lock_guard lock(s_.mutex);
            s_.intercepted = std::move(keys);
        }
        updateRefused();
    }
    std::vector<InterceptedKey> refusedKeys() const override {
        std::lock_guard lock(s_.mutex);
        return refused_;
    }
    void setRefusalObserver(RefusalObserver observer) override {
        std::lock_guard lock(s_.mutex);
        observer_ = std::move(observer);
    }
    void setRecording(bool recording) override {
        std::lock_guard lock(s_.mutex);
        s_.tapRecording = recording;
    }
    void retryRefusedKeys() override {
        {
            std::lock_guard lock(s_.mutex);
            s_.record("retryRefusedKeys");
        }
        updateRefused();
    }
    // Compares what the desktop refuses now with what the tap was told, and tells it of a
    // change, with no lock held.
    void updateRefused() {
        RefusalObserver observer;
        std::vector<InterceptedKey> refused;
        {
            std::lock_guard lock(s_.mutex);
            observer = takeRefusalChange(refused);
        }
        if (observer) observer(std::move(refused));
    }
    // With the desktop's lock held: the observer to tell of a change (and the new list), or
    // none. The observer may be called after the tap is gone; the tap may not.
    RefusalObserver takeRefusalChange(std::vector<InterceptedKey>& refused) {
        refused = s_.refusedKeys();
        if (refused == refused_) return {};
        refused_ = refused;
        return observer_;
    }

    void run() override {
        std::unique_lock lock(s_.mutex);
        s_.tap = this;
        s_.tapChanged.notify_all();
        while (!s_.shuttingDown) {
            if (queue_.empty()) {
                s_.tapChanged.wait_for(lock, std::chrono::milliseconds(50));
                continue;
            }
            Pending* p = queue_.front();
            queue_.pop_front();
            lock.unlock();
            TapVerdict verdict = cb_(p->event);
            lock.lock();
            p->verdict = verdict;
            p->done = true;
            s_.tapChanged.notify_all();
        }
        if (s_.tap == this) s_.tap = nullptr;
    }

    // With the desktop's lock held, from SimDesktop::injectKey.
    struct Pending {
        KeyEvent event;
        TapVerdict verdict = TapVerdict::Pass;
        bool done = false;
    };
    bool enabled() const { return enabled_; }
    void enqueue(Pending* p) { queue_.push_back(p); }

  private:
    SimDesktop::State& s_;
    EventTapCallback cb_;
    bool enabled_ = true;
    std::deque<Pending*> queue_;
    std::vector<InterceptedKey> refused_;
    RefusalObserver observer_;
};

namespace {

// A key taken with any modifiers conflicts with every holder of the same key.
bool conflicts(const InterceptedKey& key, const std::vector<InterceptedKey>& held) {
    for (const InterceptedKey& h : held)
        if (h.keyCode == key.keyCode && (key.anyModifiers || h.anyModifiers || h.modifiers == key.modifiers))
            return true;
    return false;
}

} // namespace

std::vector<InterceptedKey> SimDesktop::State::refusedKeys() const {
    std::vector<InterceptedKey> out;
    for (const InterceptedKey& key : intercepted)
        if (conflicts(key, heldElsewhere)) out.push_back(key);
    return out;
}

namespace {

class USLayout final : public KeyboardLayout {
  public:
    std::string identifier() const override { return "us"; }
    std::u16string translate(uint16_t keyCode, uint32_t, uint32_t&) const override {
        std::string ch = vk::usLayoutCharacter(keyCode);
        return ch.empty() ? std::u16string() : std::u16string(1, char16_t(ch[0]));
    }
};

class SimInput final : public InputPort {
  public:
    explicit SimInput(SimDesktop::State& s) : s_(s) {}
    uint64_t currentModifierFlags() override {
        std::lock_guard lock(s_.mutex);
        ++s_.modifierReads;
        return s_.modifierFlags;
    }
    std::unique_ptr<EventTap> createEventTap(EventTapCallback callback) override {
        std::lock_guard lock(s_.mutex);
        s_.record("createEventTap");
        return std::make_unique<SimEventTap>(s_, std::move(callback));
    }
    std::shared_ptr<const KeyboardLayout> currentKeyboardLayout() override {
        std::lock_guard lock(s_.mutex);
        return s_.layout;
    }
    bool isKeyHeldElsewhere(const InterceptedKey& key) override {
        std::lock_guard lock(s_.mutex);
        s_.record("isKeyHeldElsewhere");
        return conflicts(key, s_.heldElsewhere);
    }
    KeyHolder keyHolder() override {
        std::lock_guard lock(s_.mutex);
        return s_.keyHolder;
    }
    // "<flags>+<key code> velora --trigger NAME" for the desktop set by setConfigLineDesktop.
    std::optional<HotKeyConfigLine> hotKeyConfigLine(const InterceptedKey& key,
                                                     const std::string& triggerName) override {
        std::lock_guard lock(s_.mutex);
        if (s_.configLineDesktop.empty()) return std::nullopt;
        return HotKeyConfigLine{s_.configLineDesktop, "its configuration",
                                std::to_string(key.modifiers) + "+" + std::to_string(key.keyCode) +
                                    " velora --trigger " + triggerName};
    }
    // As a compositor binding: the modifiers are down, then the key goes through the tap.
    bool pressKeyFromBinding(const InterceptedKey& key) override;

  private:
    SimDesktop::State& s_;
};

} // namespace

std::shared_ptr<const KeyboardLayout> makeUSLayout() {
    return std::make_shared<USLayout>();
}
std::unique_ptr<InputPort> makeInput(SimDesktop::State& s) {
    return std::make_unique<SimInput>(s);
}

namespace {

// Hands the event to the running tap and waits for its verdict, with the desktop's lock held.
TapVerdict throughTap(SimDesktop::State& s, std::unique_lock<std::recursive_mutex>& lock,
                      const KeyEvent& event) {
    SimEventTap::Pending pending{event};
    s.tap->enqueue(&pending);
    s.tapChanged.notify_all();
    bool done = s.tapChanged.wait_for(lock, std::chrono::seconds(10), [&] { return pending.done || !s.tap; });
    if (!done || !pending.done) {
        // The tap went away with the event still queued: it never saw it.
        std::abort();
    }
    return pending.verdict;
}

TapVerdict inject(SimDesktop::State& s, const KeyEvent& event) {
    std::unique_lock lock(s.mutex);
    if (event.type == KeyEventType::FlagsChanged) s.modifierFlags = event.flags;
    TapVerdict verdict = TapVerdict::Pass;
    if (s.tap && s.tap->enabled()) verdict = throughTap(s, lock, event);
    if (verdict == TapVerdict::Pass && event.type != KeyEventType::FlagsChanged)
        s.delivered.push_back(DeliveredKey{event, s.active});
    return verdict;
}

} // namespace

bool SimInput::pressKeyFromBinding(const InterceptedKey& key) {
    {
        std::lock_guard lock(s_.mutex);
        s_.record("pressKeyFromBinding", 0, 0,
                  std::to_string(key.keyCode) + " " + std::to_string(key.modifiers));
        if (!s_.keysFromBindings) return false;
        s_.modifierFlags = key.modifiers;
    }
    KeyEvent e;
    e.type = KeyEventType::KeyDown;
    e.keyCode = key.keyCode;
    e.flags = key.modifiers;
    e.charactersIgnoringModifiers = vk::usLayoutCharacter(key.keyCode);
    inject(s_, e);
    return true;
}

TapVerdict SimDesktop::injectKey(const KeyEvent& event) {
    return inject(*state_, event);
}

TapVerdict SimDesktop::pressKey(int64_t keyCode, uint64_t flags, bool autoRepeat) {
    KeyEvent e;
    e.type = KeyEventType::KeyDown;
    e.keyCode = keyCode;
    e.flags = flags;
    e.isAutoRepeat = autoRepeat;
    {
        std::lock_guard lock(state_->mutex);
        uint32_t dead = 0;
        std::u16string units = state_->layout ? state_->layout->translate(uint16_t(keyCode), 0, dead) : u"";
        std::string chars;
        for (char16_t u : units)
            if (u < 0x80) chars += char(u);
        if (keyCode == vk::Escape) chars = std::string(1, '\x1b');
        e.charactersIgnoringModifiers = std::move(chars);
    }
    return injectKey(e);
}

TapVerdict SimDesktop::releaseKey(int64_t keyCode, uint64_t flags) {
    KeyEvent e;
    e.type = KeyEventType::KeyUp;
    e.keyCode = keyCode;
    e.flags = flags;
    return injectKey(e);
}

TapVerdict SimDesktop::changeModifiers(uint64_t flags) {
    KeyEvent e;
    e.type = KeyEventType::FlagsChanged;
    e.flags = flags;
    return injectKey(e);
}

void SimDesktop::setKeysFromBindings(bool on) {
    std::lock_guard lock(state_->mutex);
    state_->keysFromBindings = on;
}

void SimDesktop::holdKeyElsewhere(const InterceptedKey& key) {
    {
        std::lock_guard lock(state_->mutex);
        state_->heldElsewhere.push_back(key);
    }
    retryTap();
}

void SimDesktop::releaseKeyHeldElsewhere(const InterceptedKey& key) {
    {
        std::lock_guard lock(state_->mutex);
        auto& held = state_->heldElsewhere;
        held.erase(std::remove(held.begin(), held.end(), key), held.end());
    }
    retryTap();
}

void SimDesktop::retryTap() {
    // The tap may end as soon as the lock is let go: it is used under the lock only.
    RefusalObserver observer;
    std::vector<InterceptedKey> refused;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->tap) observer = state_->tap->takeRefusalChange(refused);
    }
    if (observer) observer(std::move(refused));
}

bool SimDesktop::tapRecording() const {
    std::lock_guard lock(state_->mutex);
    return state_->tapRecording;
}

void SimDesktop::setConfigLineDesktop(std::string desktop) {
    std::lock_guard lock(state_->mutex);
    state_->configLineDesktop = std::move(desktop);
}

void SimDesktop::setKeyHolder(KeyHolder holder) {
    std::lock_guard lock(state_->mutex);
    state_->keyHolder = std::move(holder);
}

std::vector<InterceptedKey> SimDesktop::refusedKeys() const {
    std::lock_guard lock(state_->mutex);
    return state_->refusedKeys();
}

bool SimDesktop::waitForTap(double seconds) const {
    std::unique_lock lock(state_->mutex);
    return state_->tapChanged.wait_for(lock, std::chrono::duration<double>(seconds),
                                       [&] { return state_->tap != nullptr; });
}

} // namespace velora::sim
