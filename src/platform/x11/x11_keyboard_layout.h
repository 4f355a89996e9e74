#pragma once
// One keyboard layout (an XKB group of the current keymap), able to tell what a key shows.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/input.h"

struct xkb_keymap;

namespace velora::x11 {

class XkbKeyboardLayout final : public KeyboardLayout {
  public:
    // Takes a reference on the keymap.
    XkbKeyboardLayout(xkb_keymap* keymap, uint32_t layoutIndex);
    ~XkbKeyboardLayout() override;
    XkbKeyboardLayout(const XkbKeyboardLayout&) = delete;
    XkbKeyboardLayout& operator=(const XkbKeyboardLayout&) = delete;

    std::string identifier() const override { return identifier_; }
    // The character for display: modifier state as the classic key translation has it
    // (0x02 Shift, 0x04 Caps Lock, 0x08 Option, 0x10 Control); a dead key shows its accent
    // and leaves the dead-key state alone.
    std::u16string translate(uint16_t keyCode, uint32_t modifierState, uint32_t& deadKeyState) const override;

    // UTF-8 of the X key at level 0 of this layout; control characters for Tab, Return,
    // Escape and the like; empty for keys without a character.
    std::string characters(uint8_t xKeycode) const;
    uint32_t layoutIndex() const { return layout_; }
    xkb_keymap* keymap() const { return keymap_; }

  private:
    xkb_keymap* keymap_;
    uint32_t layout_;
    std::string identifier_;
};

// The spacing character a dead keysym stands for; 0 when it is not a dead key.
char32_t spacingCharacterOfDeadKey(uint32_t keysym);

} // namespace velora::x11
