#pragma once
// The event tap of the Wayland desktop. Only the compositor sees keys while another client
// has the keyboard, so the tap's keys come from two places: the compositor's bindings for
// the hot keys (a "binding" event per press), and, once a switch has begun, the keyboard of
// the program's own overlay surface, which holds the keyboard until the modifiers are
// released. The hub keeps the compositor's bindings equal to the union of the enabled taps'
// exact keys; keys intercepted with any modifiers are the keys of a switch in progress, and
// when the last of them is withdrawn (the switch ended while the modifiers are still held,
// by Escape or a command) the keyboard is given back. While a tap records a shortcut its
// exact keys are withdrawn, so that the compositor lets them reach the recording window.
// Keys the compositor refused to bind are the taps' refused keys, with its reason.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/input.h"

namespace velora::wl {

class WlEventTap;

class TapHub {
  public:
    // The keys the compositor refused to bind, and why (its own words).
    struct Refusal {
        std::vector<InterceptedKey> keys;
        std::string reason;
    };
    struct Hooks {
        // The exact keys to bind now (called with the hub's lock released, in order); answers
        // those the compositor refused.
        std::function<Refusal(const std::vector<InterceptedKey>& keys)> bind;
        // The switch's keys were withdrawn: give the keyboard back.
        std::function<void()> releaseKeyboard;
        // The compositor dropped every binding (a configuration reload): none is bound now.
        std::function<void()> forgetBindings;
    };
    void setHooks(Hooks hooks);

    void add(WlEventTap* tap);
    void remove(WlEventTap* tap);
    void keysChanged();
    // The compositor dropped the bindings: binds the keys again.
    void bindAgain();
    void deliver(const std::vector<KeyEvent>& events);
    void shutdown();
    bool isShutDown() const;
    Refusal refusal() const;

  private:
    void update(bool forget);
    std::mutex applying_; // one binding update at a time, taken before mutex_
    mutable std::mutex mutex_;
    std::vector<WlEventTap*> taps_;
    Hooks hooks_;
    bool hadSwitchKeys_ = false;
    Refusal refusal_;
    std::atomic<bool> down_{false}; // read by taps without the hub's lock (lock order: hub, then tap)
};

class WlEventTap final : public EventTap {
  public:
    WlEventTap(TapHub& hub, std::shared_ptr<const void> owner, EventTapCallback callback);
    ~WlEventTap() override;

    void setEnabled(bool enabled) override;
    void setInterceptedKeys(std::vector<InterceptedKey> keys) override;
    // The keys the compositor refused to bind (it does not say whether another client binds a
    // key: it overrides such bindings).
    std::vector<InterceptedKey> refusedKeys() const override;
    void setRefusalObserver(RefusalObserver observer) override;
    // Refused keys are tried again at every change of the keys; this is one more.
    void retryRefusedKeys() override;
    void setRecording(bool recording) override;
    void run() override;

    static constexpr std::size_t kMaxQueued = 4096;

  private:
    friend class TapHub;
    bool enabled() const;
    bool recording() const;
    std::vector<InterceptedKey> keys() const;
    RefusalObserver observer() const;
    void push(const std::vector<KeyEvent>& events);
    void wake();

    const std::shared_ptr<const void> owner_;
    TapHub& hub_;
    EventTapCallback callback_;
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<KeyEvent> queue_;
    std::vector<InterceptedKey> keys_;
    RefusalObserver observer_;
    bool enabled_ = true;
    bool recording_ = false;
};

} // namespace velora::wl
