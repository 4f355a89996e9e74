#include "platform/x11/x11_window_actions.h"

#include <cstring>

namespace velora::x11 {

namespace {

constexpr uint32_t kSourcePager = 2;

xcb_client_message_event_t message(xcb_window_t window, xcb_atom_t type, const uint32_t (&data)[5]) {
    xcb_client_message_event_t e;
    std::memset(&e, 0, sizeof e);
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = window;
    e.type = type;
    std::memcpy(e.data.data32, data, sizeof data);
    return e;
}

} // namespace

void WindowActions::toRoot(xcb_window_t window, xcb_atom_t type, uint32_t d0, uint32_t d1, uint32_t d2,
                           uint32_t d3, uint32_t d4) const {
    const uint32_t data[5] = {d0, d1, d2, d3, d4};
    const xcb_client_message_event_t e = message(window, type, data);
    xcb_send_event(c_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&e));
}

void WindowActions::toClient(xcb_window_t window, xcb_atom_t type, uint32_t d0, uint32_t d1,
                             uint32_t d2) const {
    const uint32_t data[5] = {d0, d1, d2, 0, 0};
    const xcb_client_message_event_t e = message(window, type, data);
    xcb_send_event(c_, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&e));
}

void WindowActions::noteUserTime(uint32_t time) {
    if (time == XCB_CURRENT_TIME) return;
    uint32_t seen = userTime_.load(std::memory_order_relaxed);
    // Later modulo 2^32: the difference, read as signed, is positive.
    while ((seen == XCB_CURRENT_TIME || int32_t(time - seen) > 0) &&
           !userTime_.compare_exchange_weak(seen, time, std::memory_order_relaxed)) {
    }
}

void WindowActions::activate(xcb_window_t window) const {
    toRoot(window, atoms_._NET_ACTIVE_WINDOW, kSourcePager, userTime(), 0);
    xcb_flush(c_);
}

void WindowActions::raise(xcb_window_t window, bool managerRestacks) const {
    // Both ways: some managers that offer _NET_RESTACK_WINDOW ignore it without a sibling
    // (fluxbox), and every manager takes a client's own stacking request.
    if (managerRestacks) toRoot(window, atoms_._NET_RESTACK_WINDOW, kSourcePager, 0, XCB_STACK_MODE_ABOVE);
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(c_, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_flush(c_);
}

void WindowActions::minimize(xcb_window_t window) const {
    constexpr uint32_t kIconic = 3;
    toRoot(window, atoms_.WM_CHANGE_STATE, kIconic);
    xcb_flush(c_);
}

void WindowActions::restore(xcb_window_t window) const {
    xcb_map_window(c_, window);
    xcb_flush(c_);
}

void WindowActions::close(xcb_window_t window) const {
    toRoot(window, atoms_._NET_CLOSE_WINDOW, userTime(), kSourcePager);
    xcb_flush(c_);
}

void WindowActions::deleteWindow(xcb_window_t window) const {
    toClient(window, atoms_.WM_PROTOCOLS, atoms_.WM_DELETE_WINDOW, userTime());
    xcb_flush(c_);
}

void WindowActions::ping(xcb_window_t window, uint32_t token) const {
    toClient(window, atoms_.WM_PROTOCOLS, atoms_._NET_WM_PING, token, window);
    xcb_flush(c_);
}

} // namespace velora::x11
