#pragma once
// Keys between the system's virtual key codes and what a Wayland keyboard reports. Every
// Wayland keyboard brings its own keymap, and virtual keyboards number their keys as they
// please, so keys are matched by the symbol they show, read as on a US layout (the virtual
// key codes are US key positions); a key whose symbol has no US key falls back to its
// position (evdev code + 8).

#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <optional>
#include <string>

namespace velora::wl {

// The keysym name of the key on a US layout ("Tab", "grave", "w"); none for a key without one.
std::optional<std::string> keysymNameOfVirtualKey(int64_t vk);
// The virtual key of a key of the current keymap given its level-0 keysym; -1 for none.
int64_t virtualKeyOf(uint32_t xkbKeycode, xkb_keysym_t sym);

} // namespace velora::wl
