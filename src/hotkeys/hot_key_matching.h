#pragma once
// How tapped key events meet registered hot keys, and which keys the tap must take away from
// the focused application for them.

#include <cstdint>
#include <vector>

#include "hotkeys/sg_hot_key.h"
#include "platform/input.h"

namespace velora {

// The identifier of the hot key that fires on its key whatever modifiers are held (the
// backward step during a switch).
inline constexpr std::string_view kUniversalBackwardHotKeyIdentifier = "KeyUniversalBackward";

// The held Command, Option, Control and Shift flags of an event; Caps Lock, Fn, the numeric
// pad, help and device-dependent bits are left out.
inline uint64_t heldModifierMask(uint64_t eventFlags) {
    return eventFlags & kEventFlagsTrackedMask;
}

// The key code as the tap compares it: its low 16 bits.
inline int64_t comparableKeyCode(int64_t eventKeyCode) {
    return eventKeyCode & 0xFFFF;
}

// Whether the hot key fires on a key with these held modifiers: its key code, and exactly its
// modifiers (any modifiers for the universal backward key).
bool hotKeyMatches(const SGHotKey& hotKey, int64_t keyCode, uint64_t heldMask);

// The first hot key of the list that matches the event, or null.
SGHotKeyRef findMatchingHotKey(const std::vector<SGHotKeyRef>& hotKeys, const KeyEvent& event);

// The key the tap intercepts for the hot key: its key with its exact modifiers (any modifiers
// for the universal backward key).
InterceptedKey interceptedKeyFor(const SGHotKey& hotKey);

// The keys to intercept: each hot key with its exact modifiers (the universal backward key with
// any), then the command keys with any modifiers; without duplicates.
std::vector<InterceptedKey> interceptedKeysFor(const std::vector<SGHotKeyRef>& hotKeys,
                                               const std::vector<int64_t>& commandKeys);

} // namespace velora
