#pragma once
// A key combination: one virtual key code plus modifier bits (Command 0x0100, Shift 0x0200,
// Option 0x0800, Control 0x1000). (-1, -1) is the clear combination.

#include <cstdint>
#include <string>

namespace velora {

class SGKeyCombo {
public:
    static SGKeyCombo clearKeyCombo() { return SGKeyCombo(-1, -1); }
    static SGKeyCombo keyComboWithKeyCode(int64_t keyCode, int64_t modifiers) { return SGKeyCombo(keyCode, modifiers); }

    SGKeyCombo(int64_t keyCode, int64_t modifiers) : keyCode_(keyCode), modifiers_(modifiers) {}

    int64_t keyCode() const { return keyCode_; }
    int64_t modifiers() const { return modifiers_; }
    bool isClearCombo() const { return keyCode_ == -1 && modifiers_ == -1; }
    bool isValidHotKeyCombo() const { return keyCode_ >= 0 && modifiers_ >= 0; }

    // The event flags of the modifiers present; 0 for the clear combination.
    uint64_t modifierMask() const {
        if (isClearCombo()) return 0;
        uint64_t mask = 0;
        if (modifiers_ & 0x0100) mask |= 0x100000;
        if (modifiers_ & 0x0200) mask |= 0x20000;
        if (modifiers_ & 0x0800) mask |= 0x80000;
        if (modifiers_ & 0x1000) mask |= 0x40000;
        return mask;
    }

    std::string description() const {
        if (!isValidHotKeyCombo()) return "(None)";
        return std::to_string(modifiers_) + "+" + std::to_string(keyCode_);
    }

    friend bool operator==(const SGKeyCombo& a, const SGKeyCombo& b) {
        return a.keyCode_ == b.keyCode_ && a.modifiers_ == b.modifiers_;
    }

private:
    int64_t keyCode_;
    int64_t modifiers_;
};

} // namespace velora
