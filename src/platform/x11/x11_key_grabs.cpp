#include "platform/x11/x11_key_grabs.h"

#include "platform/x11/x11_keycodes.h"
#include "platform/x11/x11_reply.h"

namespace velora::x11 {

namespace {

// The grabs the root's children mirror: the hot keys, with their given modifiers. Keys with
// AnyModifier belong to a switch under way, which holds the keyboard.
std::set<KeyGrab> mirrored(const std::set<KeyGrab>& grabs) {
    std::set<KeyGrab> out;
    for (const KeyGrab& g : grabs)
        if (g.modifiers != XCB_MOD_MASK_ANY) out.insert(g);
    return out;
}

} // namespace

std::set<KeyGrab> grabsFor(const std::vector<InterceptedKey>& keys, const ModifierMap& map) {
    std::set<KeyGrab> out;
    const uint16_t locks[4] = {0, kXLock, map.numLockMask, uint16_t(kXLock | map.numLockMask)};
    for (const InterceptedKey& key : keys) {
        const uint8_t code = xKeycodeForVirtualKey(key.keyCode);
        if (code == 0) continue;
        if (key.anyModifiers) {
            out.insert({code, XCB_MOD_MASK_ANY});
            continue;
        }
        const uint16_t mods = map.stateForFlags(key.modifiers & kEventFlagsTrackedMask);
        for (uint16_t lock : locks)
            out.insert({code, uint16_t(mods | lock)});
    }
    return out;
}

std::set<KeyGrab> KeyGrabs::apply(const std::set<KeyGrab>& wanted) {
    std::lock_guard lock(mutex_);
    const std::set<KeyGrab> mirroredBefore = mirrored(held_);
    // Keys whose set of grabs changes with AnyModifier involved are released altogether and
    // taken again: a grab with AnyModifier and grabs with given modifiers on one key do not
    // come apart cleanly.
    std::map<uint8_t, std::set<uint16_t>> before, after;
    for (const KeyGrab& g : held_)
        before[g.keycode].insert(g.modifiers);
    for (const KeyGrab& g : wanted)
        after[g.keycode].insert(g.modifiers);
    std::set<uint8_t> changed;
    for (auto& [code, mods] : before)
        if (after[code] != mods) changed.insert(code);
    for (auto& [code, mods] : after)
        if (before[code] != mods) changed.insert(code);

    struct Pending {
        KeyGrab grab;
        xcb_void_cookie_t cookie;
    };
    std::vector<Pending> pending;
    const auto grab = [&](uint8_t code, uint16_t mods) {
        pending.push_back(
            {{code, mods},
             xcb_grab_key_checked(c_, 0, root_, mods, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)});
    };
    for (uint8_t code : changed) {
        const std::set<uint16_t>& was = before[code];
        const std::set<uint16_t>& will = after[code];
        if (was.count(XCB_MOD_MASK_ANY) || will.count(XCB_MOD_MASK_ANY)) {
            xcb_ungrab_key(c_, code, root_, XCB_MOD_MASK_ANY);
            for (auto it = held_.begin(); it != held_.end();) {
                if (it->keycode == code)
                    it = held_.erase(it);
                else
                    ++it;
            }
            for (uint16_t mods : will)
                grab(code, mods);
            continue;
        }
        // Only the combinations that come or go: the others stay held throughout, so that
        // retrying a refused one never lets a held one slip to the focused client.
        for (uint16_t mods : was)
            if (!will.count(mods)) {
                xcb_ungrab_key(c_, code, root_, mods);
                held_.erase({code, mods});
            }
        for (uint16_t mods : will)
            if (!was.count(mods)) grab(code, mods);
    }
    std::set<KeyGrab> refused;
    for (const Pending& p : pending) {
        if (succeeded(c_, p.cookie))
            held_.insert(p.grab);
        else
            refused.insert(p.grab);
    }
    // The children follow without checking: one that went away or whose owner grabbed the key
    // on it first answers with an error nobody waits for.
    const std::set<KeyGrab> mirroredAfter = mirrored(held_);
    for (xcb_window_t w : rootChildren_) {
        for (const KeyGrab& g : mirroredBefore)
            if (!mirroredAfter.count(g)) xcb_ungrab_key(c_, g.keycode, w, g.modifiers);
        for (const KeyGrab& g : mirroredAfter)
            if (!mirroredBefore.count(g))
                xcb_grab_key(c_, 0, w, g.modifiers, g.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    }
    xcb_flush(c_);
    return refused;
}

bool KeyGrabs::canTake(const std::set<KeyGrab>& grabs) {
    std::lock_guard lock(mutex_);
    std::vector<std::pair<KeyGrab, xcb_void_cookie_t>> tried;
    for (const KeyGrab& g : grabs) {
        if (held_.count(g)) continue;
        tried.emplace_back(g, xcb_grab_key_checked(c_, 0, root_, g.modifiers, g.keycode, XCB_GRAB_MODE_ASYNC,
                                                   XCB_GRAB_MODE_ASYNC));
    }
    bool all = true;
    for (const auto& [g, cookie] : tried) {
        if (succeeded(c_, cookie))
            xcb_ungrab_key(c_, g.keycode, root_, g.modifiers);
        else
            all = false;
    }
    xcb_flush(c_);
    return all;
}

bool KeyGrabs::canTakeAny(const std::set<KeyGrab>& grabs) {
    std::lock_guard lock(mutex_);
    std::vector<std::pair<KeyGrab, xcb_void_cookie_t>> tried;
    for (const KeyGrab& g : grabs)
        tried.emplace_back(g, xcb_grab_key_checked(c_, 0, root_, g.modifiers, g.keycode, XCB_GRAB_MODE_ASYNC,
                                                   XCB_GRAB_MODE_ASYNC));
    bool any = false;
    for (const auto& [g, cookie] : tried) {
        if (!succeeded(c_, cookie)) continue;
        any = true;
        if (held_.count(g)) continue;
        xcb_ungrab_key(c_, g.keycode, root_, g.modifiers);
        // Letting go of AnyModifier lets go of the key's other grabs too: those held come back.
        if (g.modifiers == XCB_MOD_MASK_ANY)
            for (const KeyGrab& h : held_)
                if (h.keycode == g.keycode)
                    xcb_grab_key(c_, 0, root_, h.modifiers, h.keycode, XCB_GRAB_MODE_ASYNC,
                                 XCB_GRAB_MODE_ASYNC);
    }
    xcb_flush(c_);
    return any;
}

bool KeyGrabs::grabKeyboard(uint32_t time) {
    std::lock_guard lock(mutex_);
    keyboard_.store(true);
    const xcb_grab_keyboard_cookie_t cookie =
        xcb_grab_keyboard(c_, 0, root_, time, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    const auto reply = takeReply(c_, cookie, xcb_grab_keyboard_reply);
    const bool held = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    if (!held) keyboard_.store(false);
    return held;
}

void KeyGrabs::ungrabKeyboard() {
    std::lock_guard lock(mutex_);
    if (!keyboard_.exchange(false)) return;
    xcb_ungrab_keyboard(c_, XCB_CURRENT_TIME);
    xcb_flush(c_);
}

void KeyGrabs::addRootChild(xcb_window_t window) {
    std::lock_guard lock(mutex_);
    if (!rootChildren_.insert(window).second) return;
    for (const KeyGrab& g : mirrored(held_))
        xcb_grab_key(c_, 0, window, g.modifiers, g.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_flush(c_);
}

void KeyGrabs::removeRootChild(xcb_window_t window, bool stillExists) {
    std::lock_guard lock(mutex_);
    if (!rootChildren_.erase(window) || !stillExists) return;
    // Below a frame now: a grab left there would take the key from its client whenever the
    // root's grab of it is gone.
    xcb_ungrab_key(c_, XCB_GRAB_ANY, window, XCB_MOD_MASK_ANY);
    xcb_flush(c_);
}

std::set<KeyGrab> KeyGrabs::current() const {
    std::lock_guard lock(mutex_);
    return held_;
}

} // namespace velora::x11
