#pragma once
// Turns the X server's three views of the keyboard into one stream of key events: raw XInput
// events (every key, even while another client grabs the keyboard), core events (the keys that
// arrive under this program's own grabs, when raw events pause) and XKB state notices (every
// modifier change). The same press can arrive twice (raw and core, with the same server time)
// and XTest can repeat a raw release, so the tracker keeps the set of held keys itself:
// a duplicate is dropped, a press of a key already held is an auto-repeat, and a modifier
// counts as released as soon as any of the three views says so.
//
// Not thread-safe: fed by the event loop alone.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/input.h"
#include "platform/x11/x11_modifiers.h"

namespace velora::x11 {

class KeyTracker {
  public:
    // The characters of a key at level 0 of the current layout.
    using CharacterLookup = std::function<std::string(uint8_t keycode)>;

    explicit KeyTracker(CharacterLookup characters);

    void setModifierMap(const ModifierMap& map) { map_ = map; }
    const ModifierMap& modifierMap() const { return map_; }
    // The modifier state at start-up (or after the keyboard changed), without an event.
    void resetModifierState(uint16_t xMods);

    // A key press or release seen by any view, with the server time of the event.
    std::vector<KeyEvent> key(bool press, uint8_t keycode, uint32_t time);
    // An XKB state notice: the effective modifiers after a change caused by `keycode` (0 when
    // no key caused it).
    std::vector<KeyEvent> modifierState(uint16_t xMods, uint8_t keycode);

    uint64_t flags() const { return flags_; }
    bool isHeld(uint8_t keycode) const { return held_[keycode]; }

    // A press of a held key further apart than this from the previous one is a new press
    // whose release went unseen, not an auto-repeat (the server's first repeat comes after
    // 660 ms by default).
    static constexpr uint32_t kRepeatGapMs = 1000;

  private:
    KeyEvent flagsChanged(uint8_t keycode) const;
    // A key-down or key-up of that key with the flags now held and its characters.
    KeyEvent keyEvent(KeyEventType type, uint8_t keycode) const;
    // Modifier bits that the held keys other than `except` set.
    uint16_t heldModifierBits(uint8_t except) const;

    CharacterLookup characters_;
    ModifierMap map_;
    uint64_t flags_ = 0;
    std::array<bool, 256> held_{};
    std::array<uint32_t, 256> lastPress_{};
};

} // namespace velora::x11
