#pragma once
// The single keys that act on a switch while its modifiers are held, and the key codes the
// hot key center must take away from the focused application for the span of a switch.

#include <cstdint>
#include <vector>

#include "platform/input.h"

namespace velora {

enum class SwitchCommand {
    None,
    OpenPrefs,
    Quit,
    Minimize,
    Hide,
    ForceQuit,
    Reveal,
    Cancel,
    Close,
    HideOthers
};

// Escape, told by its key code whatever it types.
inline constexpr int64_t kEscapeKeyCode = 53;

// The command of a key-down: its characters without modifiers compared ignoring case, then
// its key code, in the fixed order "," q m h f r Escape w o. Modifiers are not consulted.
SwitchCommand commandForKey(const KeyEvent& event);

// The virtual key codes that type "," q m h f r w o on the current keyboard layout (found by
// translating the codes 0 to 127), and Escape; sorted, each once.
std::vector<int64_t> commandKeyCodes();

} // namespace velora
