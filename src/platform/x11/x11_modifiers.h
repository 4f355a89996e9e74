#pragma once
// Modifier bits of the X server and the system's event flags. The server's modifier map says
// which real modifier (Mod1..Mod5) each key sets; Command is the one Alt sets, Option the one
// Super sets, and NumLock's bit matters for passive grabs.

#include <array>
#include <cstdint>

namespace velora::x11 {

// X modifier bits (the state field of core events, XKB modifier masks).
inline constexpr uint16_t kXShift = 1 << 0, kXLock = 1 << 1, kXControl = 1 << 2;
inline constexpr uint16_t kXMod1 = 1 << 3, kXMod2 = 1 << 4, kXMod4 = 1 << 6;

struct ModifierMap {
    uint16_t commandMask = kXMod1; // Alt
    uint16_t optionMask = kXMod4;  // Super
    uint16_t numLockMask = kXMod2;
    // The modifier bits that each X key code sets; 0 for ordinary keys.
    std::array<uint16_t, 256> keyMasks{};

    bool isModifierKey(uint8_t keycode) const { return keyMasks[keycode] != 0; }
    // Event flags of an X modifier state: the four tracked modifiers and Caps Lock.
    uint64_t flagsForState(uint16_t xState) const;
    // The X modifier bits that stand for the tracked event flags (for grabs).
    uint16_t stateForFlags(uint64_t flags) const;
};

} // namespace velora::x11
