#pragma once
// The core keyboard as XKB describes it: the keymap (through xkbcommon), the current layout,
// which keys are modifiers, and the live modifier state.

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/x11/x11_keyboard_layout.h"
#include "platform/x11/x11_modifiers.h"

struct xkb_context;

namespace velora::x11 {

class Keyboard {
  public:
    explicit Keyboard(xcb_connection_t* c) : c_(c) {}
    ~Keyboard();
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    // Sets up the XKB extension, asks for the notifications the backend follows, and loads
    // the keymap; false when the server has no usable XKB.
    bool open();
    bool isOpen() const { return context_ != nullptr; }
    // The first event code of the XKB extension.
    uint8_t firstEvent() const { return firstEvent_; }

    // Reloads the keymap after the server announced a change (event loop).
    void reload();
    // The layout (group) in use changed (event loop).
    void setLayoutIndex(uint32_t group);

    // Immutable; the same object until the keymap or the layout changes.
    std::shared_ptr<const XkbKeyboardLayout> layout() const;
    // Which keys set which modifier bits, and where Alt, Super and NumLock are.
    ModifierMap modifierMap() const;
    // The live effective modifier state, asked of the server; false when it did not answer.
    bool liveModifiers(uint16_t& out) const;

  private:
    void loadLocked(uint32_t group);

    xcb_connection_t* c_;
    xkb_context* context_ = nullptr;
    int32_t device_ = -1;
    uint8_t firstEvent_ = 0;
    mutable std::mutex mutex_;
    std::shared_ptr<const XkbKeyboardLayout> layout_;
};

} // namespace velora::x11
