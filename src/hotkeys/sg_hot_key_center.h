#pragma once
// The hot key center: the registry of hot keys and the one event tap that sees every key of
// the session.
//
// From the tapped stream it fires registered hot keys and swallows their keys, offers every
// other key-down to its delegate (the switching engine), and tells the delegate whenever a
// modifier change leaves none of Command, Option, Control and Shift held. While a shortcut is
// being recorded it steps aside and passes everything.
//
// Threads:
// - The first use (sharedCenter) starts the tap thread, which makes the tap through the input
//   port and runs it. When the desktop gives no tap (no permission, no extension), the thread
//   ends at once: the registry still works, but nothing is swallowed and nothing fires.
// - The registry is an immutable snapshot replaced on every change; the callback takes it with
//   one short lock and holds no lock while it works. isRecording, swallowedRepeat and the
//   delegate pointer are atomics.
// - Firing a hot key hands invoke() to the main thread without waiting; invoke then defers the
//   action once more through a zero-interval timer.
// - endHandling runs on a new short-lived thread per release. Those threads are kept and
//   reaped as new ones start, and resetForTesting joins them.
// - The delegate must outlive its use: setDelegate does not wait for calls under way (the
//   engine is a process-long singleton; tests reset the center before letting go of theirs).
//
// Desktops that cannot withdraw a key after the fact take keys away ahead of time: after every
// change of the registry or of the command keys the tap is told which keys to intercept (each
// hot key with its exact modifiers, the universal backward key and the command keys with any).
//
// Keys another program holds: the desktop may refuse to let the tap take a key (on X11 the
// window manager binds it first). Such a key still shows in the tapped stream but reaches the
// other program as well, so a hot key on it neither fires nor is offered to the delegate:
// both programs acting on one key press would fight over the focus. The tap tells the center
// when the refused list changes (the desktop retries on its own, so a key let go later is
// taken without a restart), and the center tells its refusal listener on the main thread.
//
// Of two registered hot keys with the same combination the one registered earlier fires
// (registering a hot key again moves it last). See docs/hot_key_center.md.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/short_lived_threads.h"
#include "hotkeys/hot_key_registry.h"
#include "hotkeys/sg_hot_key.h"
#include "platform/input.h"

namespace velora {

// Implemented by the switching engine.
class SGHotKeyCenterDelegate {
  public:
    virtual ~SGHotKeyCenterDelegate() = default;
    // A key-down that is no hot key; true swallows it. On the tap thread; must return quickly.
    virtual bool shouldHandleKey(const KeyEvent& event) = 0;
    // None of the four tracked modifiers is held any more. On a new thread per release.
    virtual void endHandling() = 0;
};

class SGHotKeyCenter {
  public:
    // The one center; the first call starts the tap thread.
    static SGHotKeyCenter& sharedCenter();

    // Registers the hot key under its own identity, once. Always true; a null hot key or one
    // whose combination is not a valid hot key combination is not registered (and is removed
    // if it was).
    bool registerHotKey(const SGHotKeyRef& hotKey);
    // Harmless for a hot key that is not registered.
    void unregisterHotKey(const SGHotKeyRef& hotKey);
    // Unregisters `old` and registers `fresh` (as above) in one change of the keys the tap
    // takes: one round of grabs for them all, and a key in both stays taken throughout.
    void replaceHotKeys(const std::vector<SGHotKeyRef>& old, const std::vector<SGHotKeyRef>& fresh);
    // A snapshot, in no defined order.
    std::vector<SGHotKeyRef> allHotKeys() const;
    // The first registered hot key with the identifier, or null.
    SGHotKeyRef hotKeyWithIdentifier(const std::string& identifier) const;

    // Published atomically; while none is set, key-downs pass and releases go unreported.
    void setDelegate(SGHotKeyCenterDelegate* delegate);

    // Keys the engine swallows during a switch (the command keys), taken with any modifiers
    // while the list is non-empty; an empty list gives them back.
    void setCommandKeys(std::vector<int64_t> keyCodes);

    // The hot keys' keys the desktop refused to give the tap, as last reported.
    std::vector<InterceptedKey> refusedKeys() const;
    // Whether the hot key's key is among them (it is registered or not).
    bool isRefused(const SGHotKey& hotKey) const;
    // Called on the main thread after the refused list changed. Main thread.
    void setRefusalListener(std::function<void()> listener);
    // Asks the desktop to try the refused keys again now.
    void retryRefusedKeys();

    // While true every event passes untouched: no hot key fires, no key is offered to the
    // delegate, no release is reported. The tap is told too: where the desktop matches the
    // tap's keys before any window sees them, it withdraws them meanwhile.
    bool isRecording() const;
    void setIsRecording(bool recording);

    // The auto-repeat thinning counter: a held hot key fires on every seventh repeat. Never
    // reset, so it carries over from one hold to the next.
    int32_t swallowedRepeat() const;
    void setSwallowedRepeat(int32_t count);

    // For tests: stops and joins the tap thread and the release threads and forgets the
    // center, so that the next sharedCenter() makes a fresh one. Call it once the platform has
    // begun to shut down (SimDesktop::shutdown()): only then does the tap's run() return and do
    // release threads waiting for the main thread or the clock come back. Aborts otherwise.
    static void resetForTesting();

    SGHotKeyCenter(const SGHotKeyCenter&) = delete;
    SGHotKeyCenter& operator=(const SGHotKeyCenter&) = delete;

  private:
    SGHotKeyCenter();
    ~SGHotKeyCenter();

    void runTap();
    TapVerdict handleEvent(const KeyEvent& event);
    TapVerdict handleKeyDown(const KeyEvent& event);
    // Advances the repeat counter; true when this repeat fires.
    bool repeatFires();
    void fire(const SGHotKeyRef& hotKey);
    void startEndHandling();
    void onRefused(std::vector<InterceptedKey> refused);
    bool isRefusedKey(const InterceptedKey& key) const;
    // With configMutex_ held.
    void publishInterceptedKeys();

    HotKeyRegistry registry_;
    std::atomic<bool> isRecording_{false};
    std::atomic<int32_t> swallowedRepeat_{0};
    std::atomic<SGHotKeyCenterDelegate*> delegate_{nullptr};

    // Serialises registry changes with what the tap is told to intercept, and guards the tap
    // pointer seen from other threads (the tap thread sets it and reads it freely).
    std::mutex configMutex_;
    std::vector<int64_t> commandKeys_;
    std::vector<InterceptedKey> interceptedKeys_;
    EventTap* tap_ = nullptr;

    // Leaf lock: taken by the tap's observer on any thread, and by the tap callback.
    mutable std::mutex refusedMutex_;
    std::shared_ptr<const std::vector<InterceptedKey>> refused_ =
        std::make_shared<std::vector<InterceptedKey>>();
    // The listener, read and written on the main thread only. Work handed to the main thread
    // holds the slot weakly, so that it does nothing once the center is gone.
    struct ListenerSlot {
        std::function<void()> listener;
    };
    const std::shared_ptr<ListenerSlot> refusalListener_ = std::make_shared<ListenerSlot>();

    ShortLivedThreads endThreads_;
    std::thread tapThread_;
};

} // namespace velora
