#include "platform/x11/x11_key_tracker.h"

#include "platform/x11/x11_keycodes.h"

namespace velora::x11 {

KeyTracker::KeyTracker(CharacterLookup characters) : characters_(std::move(characters)) {}

void KeyTracker::resetModifierState(uint16_t xMods) {
    flags_ = map_.flagsForState(xMods);
}

KeyEvent KeyTracker::flagsChanged(uint8_t keycode) const {
    KeyEvent e;
    e.type = KeyEventType::FlagsChanged;
    e.keyCode = keycode ? virtualKeyForXKeycode(keycode) : -1;
    e.flags = flags_;
    return e;
}

KeyEvent KeyTracker::keyEvent(KeyEventType type, uint8_t keycode) const {
    KeyEvent e;
    e.type = type;
    e.keyCode = virtualKeyForXKeycode(keycode);
    e.flags = flags_;
    if (characters_) e.charactersIgnoringModifiers = characters_(keycode);
    return e;
}

uint16_t KeyTracker::heldModifierBits(uint8_t except) const {
    uint16_t bits = 0;
    for (std::size_t k = 0; k < held_.size(); ++k)
        if (held_[k] && k != except) bits |= map_.keyMasks[k];
    return bits;
}

std::vector<KeyEvent> KeyTracker::key(bool press, uint8_t keycode, uint32_t time) {
    const bool modifier = map_.isModifierKey(keycode);
    // Caps Lock toggles rather than holds: its flag follows the XKB state alone.
    const uint16_t heldBits = map_.keyMasks[keycode] & uint16_t(~kXLock);
    if (press) {
        bool repeat = false;
        if (held_[keycode]) {
            if (lastPress_[keycode] == time) return {}; // the same press seen twice
            repeat = time - lastPress_[keycode] < kRepeatGapMs;
        }
        held_[keycode] = true;
        lastPress_[keycode] = time;
        if (modifier) {
            if (repeat) return {};
            const uint64_t next = flags_ | map_.flagsForState(heldBits);
            if (next == flags_) return {};
            flags_ = next;
            return {flagsChanged(keycode)};
        }
        KeyEvent e = keyEvent(KeyEventType::KeyDown, keycode);
        e.isAutoRepeat = repeat;
        return {e};
    }
    // A release of a key that is not held is a repeated release (or the release of a press
    // made before the tracker started): nothing to report.
    if (!held_[keycode]) return {};
    held_[keycode] = false;
    if (modifier) {
        const uint16_t released = heldBits & uint16_t(~heldModifierBits(keycode));
        const uint64_t next = flags_ & ~map_.flagsForState(released);
        if (next == flags_) return {};
        flags_ = next;
        return {flagsChanged(keycode)};
    }
    return {keyEvent(KeyEventType::KeyUp, keycode)};
}

std::vector<KeyEvent> KeyTracker::modifierState(uint16_t xMods, uint8_t keycode) {
    const uint64_t next = map_.flagsForState(xMods);
    if (next == flags_) return {};
    flags_ = next;
    return {flagsChanged(keycode)};
}

} // namespace velora::x11
