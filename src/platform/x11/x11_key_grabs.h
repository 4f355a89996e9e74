#pragma once
// Passive key grabs on the root window: the keys the event tap swallows, taken away from the
// focused client before it can see them. Each combination is grabbed under the four lock
// states (none, Caps Lock, NumLock, both) so that a lock key does not let it through; a key
// meant for any modifiers is grabbed with AnyModifier.
//
// While a switch runs the whole keyboard is grabbed too (an active grab on the root): window
// managers that bind a key with AnyModifier (icewm, KWin, marco) make the server refuse the
// passive grab of that key with every modifier, and without the active grab such a key would
// reach the focused client and the switcher alike. The server drops the grab with this
// client, so a crash never leaves the keyboard held.
//
// The hot keys are grabbed on every child of the root as well (frames, pop-ups). A window
// manager that grabs a modifier alone synchronously (icewm and mutter, the Super key) lets the
// next key go with AllowEvents(ReplayKeyboard), and the server then delivers it again ignoring
// every passive grab on the root: without the grabs below the root, the Tab of Super+Tab
// reached the focused client. Outside a replay the root's grab always comes first, so these
// grabs take nothing the root's grab does not. The server checks them on a replay only while
// the pointer rests over some child of the root (see desktops.md).

#include <xcb/xcb.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "platform/input.h"
#include "platform/x11/x11_modifiers.h"

namespace velora::x11 {

// One grab request: an X key code and X modifier bits (XCB_MOD_MASK_ANY for any).
struct KeyGrab {
    uint8_t keycode = 0;
    uint16_t modifiers = 0;
    // NOLINTNEXTLINE(modernize-use-nullptr): clang-tidy 14 misreads a defaulted comparison
    friend auto operator<=>(const KeyGrab&, const KeyGrab&) = default;
};

// The grabs that stand for the intercepted keys under a modifier map; keys with no X key
// code are left out.
std::set<KeyGrab> grabsFor(const std::vector<InterceptedKey>& keys, const ModifierMap& map);

class KeyGrabs {
  public:
    KeyGrabs(xcb_connection_t* c, xcb_window_t root) : c_(c), root_(root) {}

    // Makes the grabs those of the set, touching only the keys whose grabs change. Returns
    // the grabs the server refused (another client holds them).
    std::set<KeyGrab> apply(const std::set<KeyGrab>& wanted);
    std::set<KeyGrab> current() const;
    // Whether every one of the grabs could be taken now: those not held are tried and let go
    // at once; those held already count as takeable.
    bool canTake(const std::set<KeyGrab>& grabs);
    // Whether any of the grabs could be taken now (tried and let go at once). A grab the
    // server still refuses costs one request and takes nothing, not even for an instant.
    bool canTakeAny(const std::set<KeyGrab>& grabs);

    // The active grab of the keyboard, with the server time of the key that started the
    // switch (at the current time when a grab of this program's own passive grabs is newer).
    // False when the server refuses it: another client holds the keyboard, as a window
    // manager does during its own Alt-Tab.
    bool grabKeyboard(uint32_t time);
    // Returns once the server has let the keyboard go.
    void ungrabKeyboard();
    // Lets go of the keyboard that a passive grab took at the key press of that time, unless
    // a switch holds the keyboard: checked and sent under the lock under which grabKeyboard
    // asks, so the release never reaches the server after a switch's grab (of the same time)
    // and ends it. Never waits for the server (the event thread calls it on every key press).
    void releasePassiveGrab(uint32_t time);
    // True from the moment the grab is asked for until it is refused or let go: key events
    // that arrive meanwhile belong to it and must not end it.
    bool holdsKeyboard() const { return keyboard_.load(); }

    // A child of the root appeared (or was there at start): it gets the held hot keys.
    void addRootChild(xcb_window_t window);
    // It is gone, or no longer a child of the root (its grabs are let go then).
    void removeRootChild(xcb_window_t window, bool stillExists);

  private:
    xcb_connection_t* c_;
    xcb_window_t root_;
    // One change that waits for the server at a time (apply, the probes, the keyboard grab
    // and its end); taken before mutex_. The event thread's calls (releasePassiveGrab, the
    // root's children) never take it.
    std::mutex serial_;
    // The state and the requests that must reach the server in its order; never held while
    // waiting for the server.
    mutable std::mutex mutex_;
    std::set<KeyGrab> held_;     // changed only under both locks
    std::set<KeyGrab> mirrored_; // what every child of the root holds
    std::set<xcb_window_t> rootChildren_;
    std::atomic<bool> keyboard_{false};
};

} // namespace velora::x11
