#include "platform/wayland/wl_keys.h"

#include <cstring>
#include <utility>

#include "platform/virtual_keys.h"
#include "platform/x_keycodes.h"

namespace velora::wl {

namespace {

// Keys whose keysym is not that of the character they show: keys without a character, and
// the keypad, whose keys have keysyms of their own (KP_1 is not 1: sway would bind the main
// row's key). F18-F20 have virtual keys without names (79, 80, 90); there are none past F20.
constexpr std::pair<int64_t, const char*> kNamedKeysyms[] = {
    {vk::Tab, "Tab"},
    {vk::Return, "Return"},
    {vk::Escape, "Escape"},
    {vk::Delete, "BackSpace"},
    {vk::ForwardDelete, "Delete"},
    {vk::Help, "Insert"},
    {vk::Home, "Home"},
    {vk::End, "End"},
    {vk::PageUp, "Prior"},
    {vk::PageDown, "Next"},
    {vk::LeftArrow, "Left"},
    {vk::RightArrow, "Right"},
    {vk::UpArrow, "Up"},
    {vk::DownArrow, "Down"},
    {vk::F1, "F1"},
    {vk::F2, "F2"},
    {vk::F3, "F3"},
    {vk::F4, "F4"},
    {vk::F5, "F5"},
    {vk::F6, "F6"},
    {vk::F7, "F7"},
    {vk::F8, "F8"},
    {vk::F9, "F9"},
    {vk::F10, "F10"},
    {vk::F11, "F11"},
    {vk::F12, "F12"},
    {vk::F13, "F13"},
    {vk::F14, "F14"},
    {vk::F15, "F15"},
    {vk::F16, "F16"},
    {vk::F17, "F17"},
    {79, "F18"},
    {80, "F19"},
    {90, "F20"},
    {vk::KeypadEnter, "KP_Enter"},
    {vk::KeypadClear, "Num_Lock"},
    {vk::KeypadDecimal, "KP_Decimal"},
    {vk::KeypadMultiply, "KP_Multiply"},
    {vk::KeypadPlus, "KP_Add"},
    {vk::KeypadMinus, "KP_Subtract"},
    {vk::KeypadDivide, "KP_Divide"},
    {vk::KeypadEquals, "KP_Equal"},
    {vk::Keypad0, "KP_0"},
    {vk::Keypad1, "KP_1"},
    {vk::Keypad2, "KP_2"},
    {vk::Keypad3, "KP_3"},
    {vk::Keypad4, "KP_4"},
    {vk::Keypad5, "KP_5"},
    {vk::Keypad6, "KP_6"},
    {vk::Keypad7, "KP_7"},
    {vk::Keypad8, "KP_8"},
    {vk::Keypad9, "KP_9"},
};

const char* namedKeysym(int64_t vk) {
    for (auto [code, name] : kNamedKeysyms)
        if (code == vk) return name;
    return nullptr;
}

} // namespace

std::optional<std::string> keysymNameOfVirtualKey(int64_t vk) {
    if (const char* named = namedKeysym(vk)) return named;
    const std::string c = vk::usLayoutCharacter(vk);
    if (c.size() != 1) return std::nullopt;
    const xkb_keysym_t sym = xkb_utf32_to_keysym(char32_t(static_cast<unsigned char>(c[0])));
    char name[64] = {};
    if (sym == XKB_KEY_NoSymbol || xkb_keysym_get_name(sym, name, sizeof name) <= 0) return std::nullopt;
    return std::string(name);
}

int64_t virtualKeyOf(uint32_t xkbKeycode, xkb_keysym_t sym) {
    char name[64] = {};
    if (sym != XKB_KEY_NoSymbol && xkb_keysym_get_name(sym, name, sizeof name) > 0) {
        for (auto [code, named] : kNamedKeysyms)
            if (std::strcmp(named, name) == 0) return code;
        // Keypad keys without NumLock (KP_End...) are not the main row's keys: their position.
        const bool keypad = sym >= XKB_KEY_KP_Space && sym <= XKB_KEY_KP_9;
        const uint32_t c = keypad ? 0 : xkb_keysym_to_utf32(sym);
        if (c > 0x20 && c < 0x7F) {
            // Letters by their lower case, as a US layout shows them.
            const char32_t lower = (c >= 'A' && c <= 'Z') ? char32_t(c - 'A' + 'a') : char32_t(c);
            if (const int64_t vk = vk::keyCodeForUSCharacter(lower); vk >= 0) return vk;
        }
        if (c == 0x20) return vk::Space;
    }
    return xkbKeycode <= 255 ? virtualKeyForXKeycode(uint8_t(xkbKeycode)) : -1;
}

} // namespace velora::wl
