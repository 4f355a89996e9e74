#pragma once
// The atoms the backend speaks, interned once when the display is opened.

#include <xcb/xcb.h>

namespace velora::x11 {

// clang-format off
#define VELORA_X11_ATOMS(X) \
    X(UTF8_STRING) \
    X(COMPOUND_TEXT) \
    X(WM_PROTOCOLS) \
    X(WM_DELETE_WINDOW) \
    X(WM_TAKE_FOCUS) \
    X(WM_STATE) \
    X(WM_CHANGE_STATE) \
    X(WM_CLIENT_MACHINE) \
    X(_NET_SUPPORTED) \
    X(_NET_SUPPORTING_WM_CHECK) \
    X(_NET_CLIENT_LIST) \
    X(_NET_CLIENT_LIST_STACKING) \
    X(_NET_ACTIVE_WINDOW) \
    X(_NET_CURRENT_DESKTOP) \
    X(_NET_NUMBER_OF_DESKTOPS) \
    X(_NET_CLOSE_WINDOW) \
    X(_NET_RESTACK_WINDOW) \
    X(_NET_WM_NAME) \
    X(_NET_WM_PID) \
    X(_NET_WM_PING) \
    X(_NET_WM_DESKTOP) \
    X(_NET_WM_ICON) \
    X(_NET_WM_STATE) \
    X(_NET_WM_STATE_HIDDEN) \
    X(_NET_WM_STATE_SHADED) \
    X(_NET_WM_STATE_FULLSCREEN) \
    X(_NET_WM_WINDOW_TYPE) \
    X(_NET_WM_WINDOW_TYPE_NORMAL) \
    X(_NET_WM_WINDOW_TYPE_DIALOG) \
    X(_NET_WM_WINDOW_TYPE_UTILITY) \
    X(_NET_WM_WINDOW_TYPE_TOOLBAR) \
    X(_NET_WM_WINDOW_TYPE_MENU) \
    X(_NET_WM_WINDOW_TYPE_DOCK) \
    X(_NET_WM_WINDOW_TYPE_DESKTOP) \
    X(_NET_WM_WINDOW_TYPE_SPLASH) \
    X(_NET_WM_ALLOWED_ACTIONS) \
    X(_NET_WM_ACTION_MINIMIZE) \
    X(_NET_WM_ACTION_CLOSE) \
    X(_OB_CONFIG_FILE) \
    X(_VELORA_WAKE)
// clang-format on

struct Atoms {
#define VELORA_X11_ATOM_FIELD(name) xcb_atom_t name = XCB_ATOM_NONE;
    VELORA_X11_ATOMS(VELORA_X11_ATOM_FIELD)
#undef VELORA_X11_ATOM_FIELD

    // Interns every atom with one round trip; false when the server did not answer.
    bool intern(xcb_connection_t* c);
};

} // namespace velora::x11
