#pragma once
// A key combination: one key and a set of modifier keys, the value every hot key is made of.
//
// Stored in the user defaults as {"keyCode": <integer>, "modifiers": <integer>}. The clear
// combination (-1, -1) stands for no shortcut at all; a valid hot key has keyCode >= 0 and
// modifiers >= 0 (0 is a bare key); anything else is neither.

#include <cstdint>
#include <string>

#include "settings/plist_value.h"

namespace velora {

// Modifier flags of SGKeyCombo::modifiers(). Other bits are kept but have no meaning.
inline constexpr int64_t kCommandKeyModifier = 0x0100;
inline constexpr int64_t kShiftKeyModifier = 0x0200;
inline constexpr int64_t kOptionKeyModifier = 0x0800;
inline constexpr int64_t kControlKeyModifier = 0x1000;

class SGKeyCombo {
  public:
    // The clear combination.
    SGKeyCombo() = default;
    SGKeyCombo(int64_t keyCode, int64_t modifiers) : keyCode_(keyCode), modifiers_(modifiers) {}
    // From the stored form. None, anything but a dictionary, and an empty dictionary give the
    // clear combination; otherwise a missing or non-numeric entry reads as 0 (strings that
    // spell a number count) and a negative one as -1.
    explicit SGKeyCombo(const PlistValue& plistRepresentation);

    static SGKeyCombo clearKeyCombo() { return {}; }
    static SGKeyCombo keyComboWithKeyCode(int64_t keyCode, int64_t modifiers) { return {keyCode, modifiers}; }
    static SGKeyCombo fromPlistRepresentation(const PlistValue& plist) { return SGKeyCombo(plist); }

    int64_t keyCode() const { return keyCode_; }
    void setKeyCode(int64_t keyCode) { keyCode_ = keyCode; }
    int64_t modifiers() const { return modifiers_; }
    void setModifiers(int64_t modifiers) { modifiers_ = modifiers; }

    // The stored form, with the current values.
    PlistValue plistRepresentation() const;

    bool isEqual(const SGKeyCombo& other) const { return *this == other; }
    friend bool operator==(const SGKeyCombo&, const SGKeyCombo&) = default;

    bool isClearCombo() const { return keyCode_ == -1 && modifiers_ == -1; }
    bool isValidHotKeyCombo() const { return keyCode_ >= 0 && modifiers_ >= 0; }

    // The event flags (kEventFlag...) of the modifiers present; 0 for the clear combination.
    uint64_t modifierMask() const;
    // The key's name: "" for the clear combination, else the name of keyCode taken as a
    // signed 16-bit code.
    std::string keyCodeString() const;
    // The modifier glyphs followed by the key's name ("⌥Tab"); "(None)", translated, for a
    // combination that is not a valid hot key.
    std::string description() const;

    // The glyphs of the modifiers present, always in the order ⌘ ⌥ ⌃ ⇧.
    static std::string stringForModifiers(int64_t modifiers);
    // The key-code table (see sg_key_codes_table.h).
    static const PlistValue& keyCodesDictionary();
    // The key's name from the shipped table, new-style or legacy as its version says.
    static std::string stringForKeyCode(int16_t keyCode);
    // A legacy table's name for the key, else the key code in upper-case hexadecimal.
    static std::string stringForKeyCodeInLegacyMap(int16_t keyCode, const PlistValue& legacyKeyCodeMap);
    // A new-style table's fixed name for the key, else its character on the current layout,
    // upper-cased, after the table's padKeyString for keypad keys.
    static std::string stringForKeyCodeInNewMap(int16_t keyCode, const PlistValue& newKeyCodeMap);

  private:
    int64_t keyCode_ = -1;
    int64_t modifiers_ = -1;
};

} // namespace velora
