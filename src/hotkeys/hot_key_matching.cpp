#include "hotkeys/hot_key_matching.h"

#include <algorithm>

namespace velora {

bool hotKeyMatches(const SGHotKey& hotKey, int64_t keyCode, uint64_t heldMask) {
    SGKeyCombo combo = hotKey.keyCombo();
    if (combo.keyCode() != keyCode) return false;
    return combo.modifierMask() == heldMask || hotKey.hasIdentifier(kUniversalBackwardHotKeyIdentifier);
}

SGHotKeyRef findMatchingHotKey(const std::vector<SGHotKeyRef>& hotKeys, const KeyEvent& event) {
    int64_t keyCode = comparableKeyCode(event.keyCode);
    uint64_t held = heldModifierMask(event.flags);
    for (const SGHotKeyRef& hotKey : hotKeys)
        if (hotKeyMatches(*hotKey, keyCode, held)) return hotKey;
    return nullptr;
}

InterceptedKey interceptedKeyFor(const SGHotKey& hotKey) {
    SGKeyCombo combo = hotKey.keyCombo();
    if (hotKey.hasIdentifier(kUniversalBackwardHotKeyIdentifier)) return {combo.keyCode(), 0, true};
    return {combo.keyCode(), combo.modifierMask(), false};
}

std::vector<InterceptedKey> interceptedKeysFor(const std::vector<SGHotKeyRef>& hotKeys,
                                               const std::vector<int64_t>& commandKeys) {
    std::vector<InterceptedKey> keys;
    auto add = [&keys](InterceptedKey key) {
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
    };
    for (const SGHotKeyRef& hotKey : hotKeys)
        add(interceptedKeyFor(*hotKey));
    for (int64_t keyCode : commandKeys)
        add({keyCode, 0, true});
    return keys;
}

} // namespace velora
