#pragma once
// The names a compositor binding gives `velora --trigger NAME` for each cycle hot key. On a
// compositor that takes no bindings at run time, the user binds the key in its configuration
// to run that command, and the running program takes it as a press of the hot key.

#include <array>
#include <optional>
#include <string_view>

namespace velora {

struct HotKeyTrigger {
    std::string_view identifier; // the hot key's identifier in the settings
    std::string_view name;       // the argument of --trigger
};

inline constexpr std::array<HotKeyTrigger, 6> kHotKeyTriggers{{
    {"KeyCycleAppForward", "applications"},
    {"KeyCycleAppBackward", "applications-backward"},
    {"KeyCycleWindowForward", "windows"},
    {"KeyCycleWindowBackward", "windows-backward"},
    {"KeyCycleAppWindowForward", "application-windows"},
    {"KeyCycleAppWindowBackward", "application-windows-backward"},
}};

inline std::optional<std::string_view> triggerNameOfHotKey(std::string_view identifier) {
    for (const auto& trigger : kHotKeyTriggers) {
        if (trigger.identifier == identifier) return trigger.name;
    }
    return std::nullopt;
}

inline std::optional<std::string_view> hotKeyOfTriggerName(std::string_view name) {
    for (const auto& trigger : kHotKeyTriggers) {
        if (trigger.name == name) return trigger.identifier;
    }
    return std::nullopt;
}

} // namespace velora
