#pragma once
// The hot keys as sway key bindings. sway matches a binding before any client sees the key,
// so each registered hot key becomes `bindsym --no-repeat <modifiers>+<keysym> nop velora
// <virtual key> <flags>`, and the "binding" event carrying that command tells the program
// which hot key was pressed. The keysym is the one the key shows on a US layout: bindings by
// key code would miss keyboards with keymaps of their own (virtual keyboards number their
// keys as they please), while sway matches a keysym binding on the unshifted symbol too.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/input.h"

namespace velora::wl {

// The binding's key as sway writes it ("Mod1+Shift+Tab"); none for a key without a keysym.
std::optional<std::string> swayKeySpec(int64_t virtualKey, uint64_t flags);
// The commands that add and remove the binding of a hot key.
std::optional<std::string> bindCommand(const InterceptedKey& key);
std::optional<std::string> unbindCommand(const InterceptedKey& key);
// The hot key named by a binding's command; none for a command that is not ours.
std::optional<InterceptedKey> keyOfBindingCommand(const std::string& command);

} // namespace velora::wl
