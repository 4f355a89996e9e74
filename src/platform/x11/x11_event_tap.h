#pragma once
// The event tap of the X11 desktop. The event loop turns what the server reports into key
// events (KeyTracker) and hands them to every enabled tap through the hub; each tap queues
// them and delivers them to its callback on the thread that runs it. X cannot withdraw an
// event after the fact, so the keys a tap means to swallow are grabbed ahead of time: the
// hub grabs the union of the intercepted keys of the enabled taps.
//
// A grab the server refuses (another client, usually the window manager, holds the key) is
// not half taken: the key's other lock states are let go too, and the key counts as refused
// for every tap that wants it. Refused keys are tried again when the window manager changes
// (its check window), when the keyboard mapping changes, when a tap asks, and every
// kRetrySeconds while any is refused: X tells no one when another client lets a grab go.
// The timed retry first asks the server for the grabs it refused, and changes nothing while
// it still refuses them all, so a lasting conflict never lets go of a held grab.
//
// Keys intercepted with any modifiers are the keys of a switch under way. While a tap wants
// any, the hub holds the whole keyboard (KeyGrabs::grabKeyboard) with the time of the latest
// key, and those keys are the active grab's: they are neither grabbed one by one nor ever
// refused. When the server refuses the keyboard (another client holds it), they are grabbed
// one by one as before, and the keyboard is asked for again every kKeyboardRetrySeconds
// until the switch ends or the server gives it.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/input.h"
#include "platform/x11/x11_key_grabs.h"

namespace velora::x11 {

class X11EventTap;

class TapHub {
  public:
    static constexpr double kRetrySeconds = 2.0;
    // While a switch wants the keyboard and another client holds it.
    static constexpr double kKeyboardRetrySeconds = 0.05;

    // `keyTime` gives the server time of the latest key event (the time of a keyboard grab).
    TapHub(KeyGrabs& grabs, std::function<uint32_t()> keyTime)
        : grabs_(grabs), keyTime_(std::move(keyTime)) {}
    ~TapHub();

    void add(X11EventTap* tap);
    void remove(X11EventTap* tap);
    // Takes the grabs that the enabled taps' keys need now.
    void updateGrabs();
    // updateGrabs when some key is refused now.
    void retryRefused();
    bool hasRefused() const;
    // Whether the keys could be grabbed now (the modifier map of the hub).
    bool canTake(const std::vector<InterceptedKey>& keys);
    // The modifier map changed: the same keys need other grabs.
    void setModifierMap(const ModifierMap& map);
    ModifierMap modifierMap() const;
    // Events for every enabled tap (event loop).
    void deliver(const std::vector<KeyEvent>& events);
    // Ends every tap's run loop, now and for taps made later.
    void shutdown();
    bool isShutDown() const;

  private:
    void retryLoop();

    KeyGrabs& grabs_;
    const std::function<uint32_t()> keyTime_;
    std::mutex applying_; // one grab update at a time, taken before mutex_
    mutable std::mutex mutex_;
    std::vector<X11EventTap*> taps_;
    ModifierMap map_;
    std::set<KeyGrab> refused_;    // every grab of the keys given up
    std::set<KeyGrab> failed_;     // those of them the server refused
    bool keyboardMissing_ = false; // wanted, and refused by the server
    std::condition_variable retryWake_;
    std::thread retrier_;           // started at the first refusal; ended by shutdown
    std::atomic<bool> down_{false}; // read by taps without the hub's lock (lock order: hub, then tap)
};

class X11EventTap final : public EventTap {
  public:
    // `owner` keeps the hub (and the connection under it) alive while the tap lives, so a
    // tap may outlive the desktop that made it.
    X11EventTap(TapHub& hub, std::shared_ptr<const void> owner, EventTapCallback callback);
    ~X11EventTap() override;

    void setEnabled(bool enabled) override;
    void setInterceptedKeys(std::vector<InterceptedKey> keys) override;
    std::vector<InterceptedKey> refusedKeys() const override;
    void setRefusalObserver(RefusalObserver observer) override;
    void retryRefusedKeys() override;
    // The recorder grabs the keyboard, which X puts ahead of the tap's key grabs: nothing to do.
    void setRecording(bool) override {}
    void run() override;

    // Events queued and not yet delivered are dropped beyond this many.
    static constexpr std::size_t kMaxQueued = 4096;

  private:
    friend class TapHub;
    bool enabled() const;
    std::vector<InterceptedKey> keys() const;
    // With the hub's applying lock held; calls the observer when the list changes.
    void setRefused(std::vector<InterceptedKey> refused);
    void push(const std::vector<KeyEvent>& events);
    void wake();

    const std::shared_ptr<const void> owner_;
    TapHub& hub_;
    EventTapCallback callback_;
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<KeyEvent> queue_;
    std::vector<InterceptedKey> keys_;
    std::vector<InterceptedKey> refused_;
    RefusalObserver observer_;
    bool enabled_ = true;
};

} // namespace velora::x11
