#pragma once
// Requests to the window manager and to clients, as EWMH and ICCCM define them. Each one
// only sends a message; what the manager makes of it shows later in the properties.
// Requests that carry a time carry the server time of the user's last key or button event
// (the action that caused them), as EWMH asks: managers with focus-stealing prevention
// (marco, mutter) complain about or refuse a request timed 0.

#include <xcb/xcb.h>

#include <atomic>
#include <cstdint>

#include "platform/x11/x11_atoms.h"

namespace velora::x11 {

class WindowActions {
  public:
    WindowActions(xcb_connection_t* c, const Atoms& atoms, xcb_window_t root)
        : c_(c), atoms_(atoms), root_(root) {}

    // _NET_ACTIVE_WINDOW as a pager would ask (source 2), which managers honour without
    // focus-stealing checks; it also brings back a minimised window.
    void activate(xcb_window_t window) const;
    // _NET_RESTACK_WINDOW to the top when the manager offers it, and a stacking request.
    // (EWMH gives this message no time; the switcher's raise activates as well, and that
    // request carries it.)
    void raise(xcb_window_t window, bool managerRestacks) const;
    // ICCCM WM_CHANGE_STATE to the iconic state.
    void minimize(xcb_window_t window) const;
    // Maps the window again, which a manager takes as a request to restore it.
    void restore(xcb_window_t window) const;
    // _NET_CLOSE_WINDOW: the manager closes the window as its close button would.
    void close(xcb_window_t window) const;
    // WM_DELETE_WINDOW straight to the client, which may ask the user before it quits.
    void deleteWindow(xcb_window_t window) const;
    // _NET_WM_PING with a token the client sends back to the root window.
    void ping(xcb_window_t window, uint32_t token) const;
    void flush() const { xcb_flush(c_); }

    // The server time of a key or button event of the user (event loop). Times only move on:
    // the server's clock wraps after 49 days, so "later" is judged modulo 2^32.
    void noteUserTime(uint32_t time);
    // The time the requests carry: the last user event's, CurrentTime (0) before the first.
    uint32_t userTime() const { return userTime_.load(std::memory_order_relaxed); }

  private:
    void toRoot(xcb_window_t window, xcb_atom_t type, uint32_t d0, uint32_t d1 = 0, uint32_t d2 = 0,
                uint32_t d3 = 0, uint32_t d4 = 0) const;
    void toClient(xcb_window_t window, xcb_atom_t type, uint32_t d0, uint32_t d1 = 0, uint32_t d2 = 0) const;

    xcb_connection_t* c_;
    const Atoms& atoms_;
    xcb_window_t root_;
    std::atomic<uint32_t> userTime_{XCB_CURRENT_TIME};
};

} // namespace velora::x11
