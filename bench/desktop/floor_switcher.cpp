// The floor of a quick switch: the least a switcher can do. It grabs Alt-Tab; on the press it
// takes the keyboard and picks the window under the active one in the stacking order; on the
// release of Alt it sends _NET_ACTIVE_WINDOW for that window and lets the keyboard go. What
// the measured release-to-active time shows for it is the window manager's and the X
// server's share, which no switcher can go below.
//
//   velora_floor_switcher
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

std::vector<uint32_t> windows(xcb_connection_t* c, xcb_window_t root, xcb_atom_t property) {
    std::vector<uint32_t> out;
    auto* r =
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, property, XCB_ATOM_WINDOW, 0, 4096), nullptr);
    if (r && r->format == 32) {
        const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(r));
        out.assign(v, v + xcb_get_property_value_length(r) / 4);
    }
    std::free(r);
    return out;
}

// The keycodes of a keysym in the server's keyboard map.
std::vector<xcb_keycode_t> keycodes(xcb_connection_t* c, uint32_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    std::vector<xcb_keycode_t> out;
    auto* r = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, uint8_t(count)), nullptr);
    if (!r) return out;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r);
    for (int k = 0; k < count; ++k)
        for (int i = 0; i < r->keysyms_per_keycode; ++i)
            if (syms[k * r->keysyms_per_keycode + i] == keysym)
                out.push_back(xcb_keycode_t(setup->min_keycode + k));
    std::free(r);
    return out;
}

} // namespace

int main() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "velora_floor_switcher: cannot open the display\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t active = atom(c, "_NET_ACTIVE_WINDOW");
    const xcb_atom_t stacking = atom(c, "_NET_CLIENT_LIST_STACKING");
    const std::vector<xcb_keycode_t> tabs = keycodes(c, 0xff09); // Tab
    std::vector<xcb_keycode_t> alts = keycodes(c, 0xffe9);       // Alt_L
    for (xcb_keycode_t k : keycodes(c, 0xffea))
        alts.push_back(k); // Alt_R
    // Alt-Tab, with and without Num Lock (Mod2) and Caps Lock.
    for (xcb_keycode_t tab : tabs)
        for (const uint16_t extra : {uint16_t(0), uint16_t(XCB_MOD_MASK_2), uint16_t(XCB_MOD_MASK_LOCK),
                                     uint16_t(XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK)})
            xcb_grab_key(c, 1, root, uint16_t(XCB_MOD_MASK_1 | extra), tab, XCB_GRAB_MODE_ASYNC,
                         XCB_GRAB_MODE_ASYNC);
    xcb_flush(c);

    xcb_window_t target = XCB_NONE;
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_KEY_PRESS) {
            const auto* e = reinterpret_cast<const xcb_key_press_event_t*>(event);
            if (target == XCB_NONE) {
                // Taken so that the release of Alt comes here.
                std::free(xcb_grab_keyboard_reply(
                    c, xcb_grab_keyboard(c, 0, root, e->time, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                    nullptr));
                const std::vector<uint32_t> order = windows(c, root, stacking); // bottom to top
                const std::vector<uint32_t> now = windows(c, root, active);
                const uint32_t current = now.empty() ? 0 : now[0];
                for (auto it = order.rbegin(); it != order.rend(); ++it)
                    if (*it != current) {
                        target = *it;
                        break;
                    }
            }
        } else if (type == XCB_KEY_RELEASE) {
            const auto* e = reinterpret_cast<const xcb_key_release_event_t*>(event);
            bool alt = false;
            for (xcb_keycode_t k : alts)
                alt = alt || k == e->detail;
            if (alt && target != XCB_NONE) {
                xcb_client_message_event_t m;
                std::memset(&m, 0, sizeof m);
                m.response_type = XCB_CLIENT_MESSAGE;
                m.format = 32;
                m.window = target;
                m.type = active;
                m.data.data32[0] = 2; // from a pager: the manager obeys at once
                m.data.data32[1] = e->time;
                xcb_send_event(c, 0, root,
                               XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                               reinterpret_cast<const char*>(&m));
                xcb_ungrab_keyboard(c, e->time);
                xcb_flush(c);
                target = XCB_NONE;
            }
        }
        std::free(event);
    }
    xcb_disconnect(c);
    return 0;
}
