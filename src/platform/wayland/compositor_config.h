#pragma once
// The compositor a Wayland session runs, and the line of its configuration that binds a hot
// key to `velora --trigger NAME`. Compositors other than sway take no key bindings from a
// program at run time: the user pastes this line into the compositor's configuration, and
// the trigger reaches the running program (docs/wayland.md, "Setting it up").
//
// Keys are named as on a US layout, as the sway bindings name them (sway_bindings.h): the xkb
// keysym name for sway, Hyprland, niri, labwc and river; wayfire names the key's kernel input
// code (KEY_TAB). Modifiers by position on a PC keyboard: Command is Alt, Option is Super.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velora::wl {

enum class Compositor { Sway, Hyprland, Niri, Labwc, River, Wayfire, Other };

// The running compositor, from the variables each sets in its session ($SWAYSOCK,
// $HYPRLAND_INSTANCE_SIGNATURE, $NIRI_SOCKET, $LABWC_PID, $WAYFIRE_CONFIG_FILE...), then
// from $XDG_CURRENT_DESKTOP. `env` answers a variable's value, or null when it is unset.
Compositor detectCompositor(const std::function<const char*(const char*)>& env);
// The compositor's name as its users write it ("Hyprland", "niri").
std::string_view compositorName(Compositor compositor);
// Where the line goes: the configuration file and the place in it.
std::string_view configurationPlace(Compositor compositor);

// The configuration line (two lines for wayfire) that makes the compositor run
// `velora --trigger <trigger>` on the key (a virtual key code) with the modifiers (event
// flags); none for a key the compositor cannot name, or for Other.
std::optional<std::string> triggerBindingLine(Compositor compositor, int64_t keyCode, uint64_t flags,
                                              std::string_view trigger);

// The kernel input code name of a virtual key ("KEY_GRAVE", "KEY_KP1"), as wayfire names keys;
// none for a key without one.
std::optional<std::string> evdevKeyName(int64_t keyCode);

} // namespace velora::wl
