#include "platform/wayland/sway_bindings.h"

#include <cstdio>
#include <cstdlib>

#include "platform/wayland/wl_keys.h"

namespace velora::wl {

namespace {

constexpr const char* kPrefix = "nop velora ";

} // namespace

std::optional<std::string> swayKeySpec(int64_t virtualKey, uint64_t flags) {
    auto sym = keysymNameOfVirtualKey(virtualKey);
    if (!sym) return std::nullopt;
    std::string spec;
    // Command is Alt (Mod1), Option the Super key (Mod4), by position on a PC keyboard.
    if (flags & kEventFlagCommand) spec += "Mod1+";
    if (flags & kEventFlagOption) spec += "Mod4+";
    if (flags & kEventFlagControl) spec += "Ctrl+";
    if (flags & kEventFlagShift) spec += "Shift+";
    return spec + *sym;
}

std::optional<std::string> bindCommand(const InterceptedKey& key) {
    auto spec = swayKeySpec(key.keyCode, key.modifiers & kEventFlagsTrackedMask);
    if (!spec) return std::nullopt;
    return "bindsym --no-repeat " + *spec + " " + kPrefix + std::to_string(key.keyCode) + " " +
           std::to_string(key.modifiers & kEventFlagsTrackedMask);
}

std::optional<std::string> unbindCommand(const InterceptedKey& key) {
    auto spec = swayKeySpec(key.keyCode, key.modifiers & kEventFlagsTrackedMask);
    if (!spec) return std::nullopt;
    return "unbindsym " + *spec;
}

std::optional<InterceptedKey> keyOfBindingCommand(const std::string& command) {
    const std::string prefix = kPrefix;
    if (command.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    long long code = -1;
    unsigned long long flags = 0;
    char extra = 0;
    if (std::sscanf(command.c_str() + prefix.size(), "%lld %llu %c", &code, &flags, &extra) != 2)
        return std::nullopt;
    if (code < 0 || code > 127 || (flags & ~kEventFlagsTrackedMask) != 0) return std::nullopt;
    return InterceptedKey{code, flags, false};
}

} // namespace velora::wl
