#include "platform/wayland/wl_keys.h"

#include "platform/virtual_keys.h"
#include "platform/x_keycodes.h"

namespace velora::wl {

namespace {

// The keysym of a key without a character on a US layout.
const char* specialKeysym(int64_t vk) {
    switch (vk) {
    case vk::Tab:
        return "Tab";
    case vk::Return:
        return "Return";
    case vk::Escape:
        return "Escape";
    case vk::Delete:
        return "BackSpace";
    case vk::ForwardDelete:
        return "Delete";
    case vk::Home:
        return "Home";
    case vk::End:
        return "End";
    case vk::PageUp:
        return "Prior";
    case vk::PageDown:
        return "Next";
    case vk::LeftArrow:
        return "Left";
    case vk::RightArrow:
        return "Right";
    case vk::UpArrow:
        return "Up";
    case vk::DownArrow:
        return "Down";
    case vk::KeypadEnter:
        return "KP_Enter";
    case vk::F1:
        return "F1";
    case vk::F2:
        return "F2";
    case vk::F3:
        return "F3";
    case vk::F4:
        return "F4";
    case vk::F5:
        return "F5";
    case vk::F6:
        return "F6";
    case vk::F7:
        return "F7";
    case vk::F8:
        return "F8";
    case vk::F9:
        return "F9";
    case vk::F10:
        return "F10";
    case vk::F11:
        return "F11";
    case vk::F12:
        return "F12";
    default:
        return nullptr;
    }
}

} // namespace

std::optional<std::string> keysymNameOfVirtualKey(int64_t vk) {
    if (const char* special = specialKeysym(vk)) return special;
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
        for (int64_t vk = 0; vk < 128; ++vk)
            if (const char* special = specialKeysym(vk); special && std::string(special) == name) return vk;
        const uint32_t c = xkb_keysym_to_utf32(sym);
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
