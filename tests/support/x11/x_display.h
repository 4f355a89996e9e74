#pragma once
// The test's own look at an X server, over a connection of its own: the manager's
// properties, windows, grabs, XTest keys and the screen's pixels. Used by the suites on a
// real desktop to check what the system did and to set up what it should meet.

#include <sys/types.h>
#include <xcb/xcb.h>

#include <QImage>
#include <QRect>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velora::test {

class XDisplay {
  public:
    // The server named by `name`, or by DISPLAY when null; ok() is false when unreachable.
    explicit XDisplay(const char* name = nullptr);
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    bool ok() const { return c_ != nullptr; }
    xcb_connection_t* connection() const { return c_; }
    xcb_window_t root() const { return root_; }
    xcb_atom_t atom(const char* name);
    // Waits until the server has handled every request sent so far.
    void sync();

    // The manager's view.
    xcb_window_t activeWindow();
    std::vector<xcb_window_t> clientList();
    // The managed windows in the server's stacking order of their frames, bottom first
    // (managers do not all keep _NET_CLIENT_LIST_STACKING in step).
    std::vector<xcb_window_t> clientsBottomFirst();
    std::string title(xcb_window_t w);
    std::optional<pid_t> pid(xcb_window_t w); // _NET_WM_PID
    bool isHidden(xcb_window_t w);            // _NET_WM_STATE_HIDDEN
    bool isIconic(xcb_window_t w);            // WM_STATE
    // The managed window with this exact title, or 0.
    xcb_window_t clientTitled(const std::string& title);
    // Asks the manager to close the window, as its close button would.
    void closeWindow(xcb_window_t w);
    // Asks the manager to activate the window, as a pager would (source 2).
    void activateWindow(xcb_window_t w);
    // A top-level window of this process (with _NET_WM_PID), mapped: painted in one colour
    // by the server, taking the input focus, closing by WM_DELETE_WINDOW (and any protocols
    // added); it hears its exposures and structure changes.
    struct ClientWindow {
        std::string title, instance, windowClass; // WM_CLASS is instance and class
        uint32_t colour = 0;
        QRect geometry;
        std::vector<xcb_atom_t> moreProtocols;
    };
    xcb_window_t createClientWindow(const ClientWindow& spec);
    // The server's time now (a property change on a window of this connection's). The
    // requests above carry it, as EWMH asks: managers complain about requests timed 0.
    uint32_t serverTime();
    // Asks the manager to move the window to a desktop (from 0; 0xFFFFFFFF: all of them).
    void moveToDesktop(xcb_window_t w, uint32_t desktop);
    // Asks the manager to add or remove a state of the window's (_NET_WM_STATE_...), and
    // whether the manager says the window has it.
    void setState(xcb_window_t w, const char* state, bool on);
    bool hasState(xcb_window_t w, const char* state);
    // i3's sync protocol (I3_SYNC): true once i3 answers, having handled every event queued
    // for it before; false after 10 s without an answer.
    bool i3Sync();
    std::vector<xcb_window_t> children(xcb_window_t parent);
    bool isViewable(xcb_window_t w);
    bool isOverrideRedirect(xcb_window_t w);
    // The switch panel: a viewable override-redirect child of the root titled "Velora".
    xcb_window_t shownPanel();
    // Whether a system tray (a _NET_SYSTEM_TRAY_S0 owner) runs on this desktop: fluxbox has one.
    bool hasSystemTray();
    // A viewable window of this process embedded in another (a tray's icon): below the root's
    // children and not managed. 0 when there is none.
    xcb_window_t embeddedWindowOf(pid_t pid);
    // The window holding the keyboard focus (the server's answer, not the manager's property).
    xcb_window_t inputFocus();
    // The viewable override-redirect windows of this process (its open menus, say).
    std::vector<xcb_window_t> popupsOf(pid_t pid);

    // The keyboard through XTest, by X key code.
    void key(uint8_t xKeycode, bool press);
    bool grabKeyboard(bool grab);
    // Whether this client could grab the key (by keysym) with these modifiers now; a key
    // that another client holds gives BadAccess. The grab is released at once.
    bool canGrab(uint32_t keysym, uint16_t modifiers);
    // The modifier mask holding the key with this keysym (Alt_L gives Mod1 here).
    uint16_t modifierMaskOf(uint32_t keysym);

    // Paints the desktop behind all windows in one colour (0xRRGGBB on a true-colour screen).
    void setDesktopColour(uint32_t rgb);
    // Position on the root and size of any window (a client inside its manager's frame).
    QRect rootGeometry(xcb_window_t w);
    // The whole screen as the server shows it.
    QImage screenshot();

  private:
    std::vector<uint32_t> cardinals(xcb_window_t w, xcb_atom_t property, xcb_atom_t type);
    std::vector<xcb_keycode_t> keycodesOf(uint32_t keysym);
    void sendToRoot(xcb_window_t w, const char* type, uint32_t data0, uint32_t data1);

    xcb_connection_t* c_ = nullptr;
    xcb_screen_t* screenInfo_ = nullptr;
    xcb_window_t root_ = 0;
    int screen_ = 0;
    xcb_window_t clockWindow_ = 0;
};

} // namespace velora::test
