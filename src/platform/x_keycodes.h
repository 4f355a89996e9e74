#pragma once
// X key codes and the system's virtual key codes, matched by key position. An X server with
// the evdev driver (every current one) numbers keys as the kernel does plus 8; each virtual
// key code stands for the key at the same place on a US keyboard, and the modifiers follow
// the PC keyboard: Command is Alt, Option is Super (the Windows key), Control is Ctrl.
// Plain numbers, no X library: the X11 backend and the shortcut recorder share this table.

#include <cstdint>

namespace velora {

// The virtual key code of an X key code; -1 for a key with no counterpart.
int64_t virtualKeyForXKeycode(uint8_t xKeycode);
// The X key code of a virtual key code; 0 for a virtual key with no key here.
uint8_t xKeycodeForVirtualKey(int64_t virtualKey);

} // namespace velora
