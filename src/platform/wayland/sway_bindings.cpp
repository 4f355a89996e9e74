#include "platform/wayland/sway_bindings.h"

#include <cstdio>
#include <cstdlib>

#include <xkbcommon/xkbcommon.h>

#include "platform/virtual_keys.h"

namespace velora::wl {

namespace {

constexpr const char* kPrefix = "nop velora ";

// The keysym of a key without a character on a US layout.
const char* specialKeysym(int64_t vk) {
    switch (vk) {
    case vk::Tab: return "Tab";
    case vk::Return: return "Return";
    case vk::Escape: return "Escape";
    case vk::Delete: return "BackSpace";
    case vk::ForwardDelete: return "Delete";
    case vk::Home: return "Home";
    case vk::End: return "End";
    case vk::PageUp: return "Prior";
    case vk::PageDown: return "Next";
    case vk::LeftArrow: return "Left";
    case vk::RightArrow: return "Right";
    case vk::UpArrow: return "Up";
    case vk::DownArrow: return "Down";
    case vk::KeypadEnter: return "KP_Enter";
    case vk::F1: return "F1";
    case vk::F2: return "F2";
    case vk::F3: return "F3";
    case vk::F4: return "F4";
    case vk::F5: return "F5";
    case vk::F6: return "F6";
    case vk::F7: return "F7";
    case vk::F8: return "F8";
    case vk::F9: return "F9";
    case vk::F10: return "F10";
    case vk::F11: return "F11";
    case vk::F12: return "F12";
    default: return nullptr;
    }
}

std::optional<std::string> keysymName(int64_t vk) {
    if (const char* special = specialKeysym(vk)) return special;
    const std::string c = vk::usLayoutCharacter(vk);
    if (c.size() != 1) return std::nullopt;
    const xkb_keysym_t sym = xkb_utf32_to_keysym(char32_t(static_cast<unsigned char>(c[0])));
    char name[64] = {};
    if (sym == XKB_KEY_NoSymbol || xkb_keysym_get_name(sym, name, sizeof name) <= 0) return std::nullopt;
    return std::string(name);
}

} // namespace

std::optional<std::string> swayKeySpec(int64_t virtualKey, uint64_t flags) {
    auto sym = keysymName(virtualKey);
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
    if (std::sscanf(command.c_str() + prefix.size(), "%lld %llu %c", &code, &flags, &extra) != 2) return std::nullopt;
    if (code < 0 || code > 127 || (flags & ~kEventFlagsTrackedMask) != 0) return std::nullopt;
    return InterceptedKey{code, flags, false};
}

} // namespace velora::wl
