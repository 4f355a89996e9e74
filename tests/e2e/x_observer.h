#pragma once
// The test's own look at the X server: the manager's properties, windows, key grabs and the
// screen's pixels, over a connection of its own.

#include <xcb/xcb.h>

#include <sys/types.h>

#include <QImage>
#include <QRect>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velora::e2e {

class XObserver {
public:
    // Null when DISPLAY names no reachable server.
    static std::unique_ptr<XObserver> connect();
    ~XObserver();
    XObserver(const XObserver&) = delete;
    XObserver& operator=(const XObserver&) = delete;

    xcb_window_t activeWindow();
    std::vector<xcb_window_t> clientList();
    std::string title(xcb_window_t w);
    std::optional<pid_t> pid(xcb_window_t w);
    bool isHidden(xcb_window_t w); // _NET_WM_STATE_HIDDEN
    // The managed window with this exact title, or 0.
    xcb_window_t clientTitled(const std::string& title);
    // Asks the window manager to close the window, as its close button would.
    void closeWindow(xcb_window_t w);

    // The switch panel: a viewable override-redirect child of the root titled "Velora".
    xcb_window_t shownPanel();
    // Whether a system tray (a _NET_SYSTEM_TRAY_S0 owner) runs on this desktop: fluxbox has one.
    bool hasSystemTray();

    // Whether this client could grab the key (by keysym) with these modifiers now; a key
    // that another client holds gives BadAccess. The grab is released at once.
    bool canGrab(uint32_t keysym, uint16_t modifiers);
    // The modifier mask holding the key with this keysym (Alt_L gives Mod1 here).
    uint16_t modifierMaskOf(uint32_t keysym);

    // Paints the desktop behind all windows in one colour (0xRRGGBB on a true-colour screen).
    void setDesktopColour(uint32_t rgb);
    // Position and size of a child of the root.
    QRect geometry(xcb_window_t w);
    // The whole screen as the server shows it.
    QImage screenshot();

private:
    explicit XObserver(xcb_connection_t* c);
    xcb_atom_t atom(const char* name);
    std::vector<uint32_t> cardinals(xcb_window_t w, xcb_atom_t property, xcb_atom_t type);
    std::vector<xcb_keycode_t> keycodesOf(uint32_t keysym);

    xcb_connection_t* c_;
    xcb_screen_t* screen_;
};

} // namespace velora::e2e
