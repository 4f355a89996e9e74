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
    std::lock_guard serial(serial_);
    struct Pending {
        KeyGrab grab;
        xcb_void_cookie_t cookie;
    };
    std::vector<Pending> pending;
    {
        std::lock_guard lock(mutex_);
        // Keys whose set of grabs changes with AnyModifier involved are released altogether
        // and taken again: a grab with AnyModifier and grabs with given modifiers on one key
        // do not come apart cleanly.
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
                std::erase_if(held_, [&](const KeyGrab& g) { return g.keycode == code; });
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
    }
    // The server's answers, all in one round trip, with no lock held: the event thread takes
    // mutex_ for every key press and every new window.
    std::set<KeyGrab> granted, refused;
    for (const Pending& p : pending)
        (succeeded(c_, p.cookie) ? granted : refused).insert(p.grab);
    std::lock_guard lock(mutex_);
    held_.insert(granted.begin(), granted.end());
    // The children follow without checking: one that went away or whose owner grabbed the key
    // on it first answers with an error nobody waits for.
    const std::set<KeyGrab> mirroredNow = mirrored(held_);
    for (xcb_window_t w : rootChildren_) {
        for (const KeyGrab& g : mirrored_)
            if (!mirroredNow.count(g)) xcb_ungrab_key(c_, g.keycode, w, g.modifiers);
        for (const KeyGrab& g : mirroredNow)
            if (!mirrored_.count(g))
                xcb_grab_key(c_, 0, w, g.modifiers, g.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    }
    mirrored_ = mirroredNow;
    xcb_flush(c_);
    return refused;
}

bool KeyGrabs::canTake(const std::set<KeyGrab>& grabs) {
    std::lock_guard serial(serial_);
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
    std::lock_guard serial(serial_);
    std::vector<std::pair<KeyGrab, xcb_void_cookie_t>> tried;
    tried.reserve(grabs.size());
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
    std::lock_guard serial(serial_);
    // Asked for under mutex_, answered outside it: a release of a passive grab decided before
    // reaches the server before this grab, and one decided after sees the flag.
    const auto ask = [&](uint32_t at) {
        std::lock_guard lock(mutex_);
        keyboard_.store(true);
        return xcb_grab_keyboard(c_, 0, root_, at, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    };
    auto reply = takeReply(c_, ask(time), xcb_grab_keyboard_reply);
    // A key this program has not read yet may have activated one of its passive grabs since
    // that time (the server then refuses the older time): the switch wants the keyboard now,
    // and the server still refuses it while another client holds it.
    if (reply && reply->status == XCB_GRAB_STATUS_INVALID_TIME)
        reply = takeReply(c_, ask(XCB_CURRENT_TIME), xcb_grab_keyboard_reply);
    const bool held = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    if (!held) keyboard_.store(false);
    return held;
}

void KeyGrabs::releasePassiveGrab(uint32_t time) {
    std::lock_guard lock(mutex_);
    if (keyboard_.load()) return;
    xcb_ungrab_keyboard(c_, time);
    xcb_flush(c_);
}

void KeyGrabs::ungrabKeyboard() {
    std::lock_guard serial(serial_);
    {
        std::lock_guard lock(mutex_);
        if (!keyboard_.exchange(false)) return;
        xcb_ungrab_keyboard(c_, XCB_CURRENT_TIME);
    }
    // A round trip, so that the keyboard is free for every client once this returns: the
    // server orders no requests across connections, and a client that acts on the end of a
    // switch (types, grabs) could otherwise reach it before the ungrab and be refused.
    takeReply(c_, xcb_get_input_focus(c_), xcb_get_input_focus_reply);
}

void KeyGrabs::addRootChild(xcb_window_t window) {
    std::lock_guard lock(mutex_);
    if (!rootChildren_.insert(window).second) return;
    for (const KeyGrab& g : mirrored_)
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
