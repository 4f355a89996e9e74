#include "platform/x11/x11_keyboard.h"

#ifdef __clang__
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wkeyword-macro"
#endif
#define explicit explicit_ // xkb.h names a field after the C++ keyword
#include <xcb/xkb.h>
#undef explicit
#ifdef __clang__
#pragma clang diagnostic pop
#endif
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include "platform/x11/x11_reply.h"

namespace velora::x11 {

Keyboard::~Keyboard() {
    layout_.reset();
    if (context_) xkb_context_unref(context_);
}

bool Keyboard::open() {
    uint8_t firstError = 0;
    if (!xkb_x11_setup_xkb_extension(c_, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &firstEvent_,
                                     &firstError))
        return false;
    device_ = xkb_x11_get_core_keyboard_device_id(c_);
    if (device_ < 0) return false;
    context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context_) return false;

    // Modifier and group changes, keymap changes, a new keyboard.
    constexpr uint16_t kEvents = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY |
                                 XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
    constexpr uint16_t kMapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS |
                                   XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS |
                                   XCB_XKB_MAP_PART_KEY_ACTIONS | XCB_XKB_MAP_PART_VIRTUAL_MODS |
                                   XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
    constexpr uint16_t kStateParts = XCB_XKB_STATE_PART_MODIFIER_BASE | XCB_XKB_STATE_PART_MODIFIER_LATCH |
                                     XCB_XKB_STATE_PART_MODIFIER_LOCK | XCB_XKB_STATE_PART_MODIFIER_STATE |
                                     XCB_XKB_STATE_PART_GROUP_BASE | XCB_XKB_STATE_PART_GROUP_LATCH |
                                     XCB_XKB_STATE_PART_GROUP_LOCK | XCB_XKB_STATE_PART_GROUP_STATE;
    xcb_xkb_select_events_details_t details{};
    details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.affectState = kStateParts;
    details.stateDetails = kStateParts;
    xcb_xkb_select_events_aux(c_, uint16_t(device_), kEvents, 0, 0, kMapParts, kMapParts, &details);
    // Auto-repeat under this program's grabs comes as presses alone, not release-press pairs.
    constexpr uint32_t kDetectable = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
    takeReply(c_, xcb_xkb_per_client_flags(c_, XCB_XKB_ID_USE_CORE_KBD, kDetectable, kDetectable, 0, 0, 0),
              xcb_xkb_per_client_flags_reply);

    uint32_t group = 0;
    if (auto state = takeReply(c_, xcb_xkb_get_state(c_, uint16_t(device_)), xcb_xkb_get_state_reply))
        group = state->group;
    std::lock_guard lock(mutex_);
    loadLocked(group);
    return layout_ != nullptr;
}

void Keyboard::loadLocked(uint32_t group) {
    xkb_keymap* keymap = xkb_x11_keymap_new_from_device(context_, c_, device_, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) return; // keep the previous one
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts(keymap);
    layout_ = std::make_shared<XkbKeyboardLayout>(keymap, layouts > 0 && group < layouts ? group : 0);
    xkb_keymap_unref(keymap);
}

void Keyboard::reload() {
    if (!context_) return;
    uint32_t group = 0;
    if (auto state = takeReply(c_, xcb_xkb_get_state(c_, uint16_t(device_)), xcb_xkb_get_state_reply))
        group = state->group;
    std::lock_guard lock(mutex_);
    loadLocked(group);
}

void Keyboard::setLayoutIndex(uint32_t group) {
    std::lock_guard lock(mutex_);
    if (!layout_ || layout_->layoutIndex() == group) return;
    if (group >= xkb_keymap_num_layouts(layout_->keymap())) return;
    layout_ = std::make_shared<XkbKeyboardLayout>(layout_->keymap(), group);
}

std::shared_ptr<const XkbKeyboardLayout> Keyboard::layout() const {
    std::lock_guard lock(mutex_);
    return layout_;
}

ModifierMap Keyboard::modifierMap() const {
    ModifierMap map;
    auto layout = this->layout();
    auto reply = takeReply(c_, xcb_get_modifier_mapping(c_), xcb_get_modifier_mapping_reply);
    if (!reply) return map;
    const int perModifier = reply->keycodes_per_modifier;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply.get());
    uint16_t alt = 0, super = 0, numLock = 0;
    for (int mod = 0; mod < 8; ++mod) {
        for (int k = 0; k < perModifier; ++k) {
            const xcb_keycode_t code = codes[mod * perModifier + k];
            if (code == 0) continue;
            map.keyMasks[code] |= uint16_t(1u << mod);
            if (!layout || mod < 3) continue;
            const xkb_keysym_t* syms = nullptr;
            const int n = xkb_keymap_key_get_syms_by_level(layout->keymap(), code, 0, 0, &syms);
            for (int s = 0; s < n; ++s) {
                switch (syms[s]) {
                case XKB_KEY_Alt_L:
                case XKB_KEY_Alt_R:
                case XKB_KEY_Meta_L:
                case XKB_KEY_Meta_R:
                    alt |= uint16_t(1u << mod);
                    break;
                case XKB_KEY_Super_L:
                case XKB_KEY_Super_R:
                    super |= uint16_t(1u << mod);
                    break;
                case XKB_KEY_Num_Lock:
                    numLock |= uint16_t(1u << mod);
                    break;
                default:
                    break;
                }
            }
        }
    }
    if (alt) map.commandMask = alt;
    if (super) map.optionMask = super;
    if (numLock) map.numLockMask = numLock;
    return map;
}

bool Keyboard::liveModifiers(uint16_t& out) const {
    if (device_ < 0) return false;
    auto state = takeReply(c_, xcb_xkb_get_state(c_, uint16_t(device_)), xcb_xkb_get_state_reply);
    if (!state) return false;
    out = state->mods;
    return true;
}

} // namespace velora::x11
