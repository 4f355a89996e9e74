#pragma once
// Tells which character a key shows on the user's keyboard layout.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/input.h"

namespace velora {

class SGKeyCodeTranslator {
  public:
    // The translator for the current keyboard layout. One translator is cached and kept while
    // the layout's identifier stays the same, so that its dead-key state carries over; a new
    // one replaces it when the layout changes. Null when no layout is available (no desktop
    // backend installed, or the backend has no layout).
    static std::shared_ptr<SGKeyCodeTranslator> currentTranslator();

    explicit SGKeyCodeTranslator(std::shared_ptr<const KeyboardLayout> keyboardLayout);

    // The first character (as UTF-8) the key produces for display with no modifiers held: its
    // first UTF-16 unit, or the first two when they are a surrogate pair (U+FFFD for half a
    // pair). Empty when it produces none (a dead key, or a key without a character).
    std::string translateKeyCode(int64_t keyCode);

    std::shared_ptr<const KeyboardLayout> keyboardLayout() const;
    void setKeyboardLayout(std::shared_ptr<const KeyboardLayout> keyboardLayout);
    uint32_t deadKeyState() const;

  private:
    mutable std::mutex mutex_; // translations come from any thread
    std::shared_ptr<const KeyboardLayout> keyboardLayout_;
    uint32_t deadKeyState_ = 0;
};

} // namespace velora
