// The stored key-combination reader: whatever the settings file holds under a hot key's name
// gives a combination whose numbers are -1 or more, which stores and reads back unchanged and
// can be named.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "hotkeys/sg_key_combo.h"
#include "settings/plist_value.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<velora::PlistValue> stored = velora::PlistValue::fromXml(text);
    if (!stored) return 0;
    const velora::SGKeyCombo combo(*stored);
    FUZZ_CHECK(combo.keyCode() >= -1 && combo.modifiers() >= -1);
    FUZZ_CHECK(!(combo.isClearCombo() && combo.isValidHotKeyCombo()));
    const velora::PlistValue again = combo.plistRepresentation();
    FUZZ_CHECK(velora::SGKeyCombo(again) == combo);
    const std::optional<velora::PlistValue> reread = velora::PlistValue::fromXml(again.toXml());
    FUZZ_CHECK(reread && velora::SGKeyCombo(*reread) == combo);
    (void)combo.modifierMask();
    (void)velora::SGKeyCombo::stringForModifiers(combo.modifiers());
    if (combo.isClearCombo())
        FUZZ_CHECK(combo.keyCodeString().empty());
    else
        (void)combo.keyCodeString();
    return 0;
}
