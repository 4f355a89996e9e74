#include "platform/x11/x11_keyboard_layout.h"

#include <xkbcommon/xkbcommon.h>

#include <utility>

#include "platform/x11/x11_keycodes.h"

namespace velora::x11 {

namespace {

// Modifier state bits of the classic key translation.
constexpr uint32_t kShiftBit = 0x02, kCapsBit = 0x04, kOptionBit = 0x08, kControlBit = 0x10;

std::u16string utf16(char32_t cp) {
    if (cp == 0) return {};
    if (cp < 0x10000) return std::u16string(1, char16_t(cp));
    cp -= 0x10000;
    return {char16_t(0xD800 + (cp >> 10)), char16_t(0xDC00 + (cp & 0x3FF))};
}

} // namespace

char32_t spacingCharacterOfDeadKey(uint32_t keysym) {
    constexpr std::pair<uint32_t, char32_t> kDead[] = {
        {XKB_KEY_dead_grave, U'`'},          {XKB_KEY_dead_acute, U'\u00B4'},
        {XKB_KEY_dead_circumflex, U'^'},     {XKB_KEY_dead_tilde, U'~'},
        {XKB_KEY_dead_macron, U'\u00AF'},    {XKB_KEY_dead_breve, U'\u02D8'},
        {XKB_KEY_dead_abovedot, U'\u02D9'},  {XKB_KEY_dead_diaeresis, U'\u00A8'},
        {XKB_KEY_dead_abovering, U'\u02DA'}, {XKB_KEY_dead_doubleacute, U'\u02DD'},
        {XKB_KEY_dead_caron, U'\u02C7'},     {XKB_KEY_dead_cedilla, U'\u00B8'},
        {XKB_KEY_dead_ogonek, U'\u02DB'},
    };
    for (auto [sym, ch] : kDead)
        if (sym == keysym) return ch;
    return 0;
}

XkbKeyboardLayout::XkbKeyboardLayout(xkb_keymap* keymap, uint32_t layoutIndex)
    : keymap_(xkb_keymap_ref(keymap)), layout_(layoutIndex) {
    const char* name = xkb_keymap_layout_get_name(keymap_, layout_);
    identifier_ = name ? name : "layout " + std::to_string(layout_);
}

XkbKeyboardLayout::~XkbKeyboardLayout() {
    xkb_keymap_unref(keymap_);
}

std::u16string XkbKeyboardLayout::translate(uint16_t keyCode, uint32_t modifierState, uint32_t&) const {
    const uint8_t x = xKeycodeForVirtualKey(keyCode);
    if (x == 0) return {};
    xkb_state* state = xkb_state_new(keymap_);
    if (!state) return {};
    xkb_mod_mask_t depressed = 0, locked = 0;
    const auto bit = [&](const char* name) {
        const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap_, name);
        return index == XKB_MOD_INVALID ? 0u : (1u << index);
    };
    if (modifierState & kShiftBit) depressed |= bit(XKB_MOD_NAME_SHIFT);
    if (modifierState & kControlBit) depressed |= bit(XKB_MOD_NAME_CTRL);
    if (modifierState & kOptionBit)
        depressed |= bit("Mod5"); // the third level, where Option's characters live
    if (modifierState & kCapsBit) locked |= bit(XKB_MOD_NAME_CAPS);
    xkb_state_update_mask(state, depressed, 0, locked, 0, 0, layout_);
    const xkb_keysym_t sym = xkb_state_key_get_one_sym(state, x);
    char32_t cp = spacingCharacterOfDeadKey(sym);
    if (cp == 0) cp = xkb_state_key_get_utf32(state, x);
    xkb_state_unref(state);
    return utf16(cp);
}

std::string XkbKeyboardLayout::characters(uint8_t xKeycode) const {
    const xkb_keysym_t* syms = nullptr;
    const int n = xkb_keymap_key_get_syms_by_level(keymap_, xKeycode, layout_, 0, &syms);
    if (n != 1 || !syms) return {};
    char buffer[16] = {};
    const int written = xkb_keysym_to_utf8(syms[0], buffer, sizeof buffer);
    if (written <= 1) return {};
    return std::string(buffer, std::size_t(written - 1));
}

} // namespace velora::x11
