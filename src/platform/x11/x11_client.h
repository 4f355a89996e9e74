#pragma once
// What the backend keeps about one managed client window (a window of _NET_CLIENT_LIST):
// its properties, read once when the window appears and again for each property change.

#include <sys/types.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/window_server.h"
#include "platform/x11/x11_atoms.h"

namespace velora::x11 {

// No window (kNoWindow as a window value).
inline constexpr xcb_window_t kNoWindow = XCB_WINDOW_NONE;

// ICCCM WM_STATE values.
inline constexpr uint32_t kWithdrawnState = 0, kNormalState = 1, kIconicState = 3;

// Window layers of the window list, on the scale of the window levels.
inline constexpr int32_t kDesktopLayer = -2147483623;
inline constexpr int32_t kDockLayer = 20;
inline constexpr int32_t kStatusLayer = kStatusWindowLevel;
inline constexpr int32_t kPopUpLayer = 101; // override-redirect windows: menus, panels, tips

struct ClientInfo {
    xcb_window_t window = kNoWindow;
    xcb_window_t frame = kNoWindow;  // the root's child that holds it (itself when not reparented)
    std::string netName, wmName;     // _NET_WM_NAME, WM_NAME (valid UTF-8, cut to size)
    std::string instance, className; // WM_CLASS
    uint32_t netWmPid = 0;           // _NET_WM_PID, 0 when not set
    std::string clientMachine;       // WM_CLIENT_MACHINE
    pid_t resourcePid = 0;           // from the X resource extension, 0 when unknown
    bool hasDesktop = false;
    uint32_t desktop = 0;                                       // _NET_WM_DESKTOP (0xFFFFFFFF: every desktop)
    std::vector<xcb_atom_t> netState;                           // _NET_WM_STATE
    std::vector<xcb_atom_t> types;                              // _NET_WM_WINDOW_TYPE, most preferred first
    bool deleteWindow = false, ping = false, takeFocus = false; // WM_PROTOCOLS
    bool hasAllowedActions = false;
    std::vector<xcb_atom_t> allowedActions; // _NET_WM_ALLOWED_ACTIONS
    bool acceptsInput = true;               // WM_HINTS input field
    bool hasWmState = false;
    uint32_t wmState = kWithdrawnState; // WM_STATE
    xcb_window_t transientFor = kNoWindow;
    uint64_t discovered = 0; // order in which the backend first saw it
    pid_t pid = 0;           // the owner as resolved when it was first seen

    // _NET_WM_NAME, else WM_NAME.
    const std::string& title() const { return netName.empty() ? wmName : netName; }
    bool hasState(xcb_atom_t state) const;
    bool isSticky() const { return hasDesktop && desktop == 0xFFFFFFFF; }
    bool isOnDesktop(uint32_t current) const { return !hasDesktop || isSticky() || desktop == current; }
    // Minimised. A manager that sets _NET_WM_STATE_HIDDEN says so there (it may also put
    // windows of other desktops in the iconic state, as openbox does); otherwise the ICCCM
    // iconic state tells.
    bool isMinimized(xcb_atom_t hiddenState, xcb_atom_t shadedState, bool managerSetsHidden) const;
    // The owning process, when it can be told: the resource extension, else _NET_WM_PID of
    // a client on this machine.
    pid_t ownerPid(const std::string& localHost) const;
    bool hasType(xcb_atom_t type) const;
    std::string subrole(const Atoms& atoms) const;
    // 0 for normal windows; above normal windows for docks and windows kept above.
    int32_t layer(const Atoms& atoms) const;
    bool isDesktopElement(const Atoms& atoms) const { return hasType(atoms._NET_WM_WINDOW_TYPE_DESKTOP); }
    bool canMinimize(const Atoms& atoms) const;
    // Whether the manager can give it the keyboard focus (ICCCM input models).
    bool takesFocus() const { return acceptsInput || takeFocus; }
    bool allows(xcb_atom_t action) const;
};

// Reads a client's properties and keeps them up to date. The requests of one load are sent
// together so that the load costs one round trip (plus one for the frame and the owner).
class ClientReader {
  public:
    ClientReader(xcb_connection_t* c, const Atoms& atoms, xcb_window_t root)
        : c_(c), atoms_(atoms), root_(root) {}

    // Everything about a window; false when the window has gone.
    bool load(xcb_window_t window, ClientInfo& out) const;
    // Re-reads one property; false when the property is not one that the backend keeps.
    bool refresh(ClientInfo& info, xcb_atom_t property) const;
    // The root's child that holds the window.
    xcb_window_t findFrame(xcb_window_t window) const;
    // The process of the client that made the window, from the resource extension.
    pid_t resourceOwner(xcb_window_t window) const;

    // The properties refresh() keeps.
    std::vector<xcb_atom_t> trackedProperties() const;

  private:
    void apply(ClientInfo& info, xcb_atom_t property, const xcb_get_property_reply_t* reply) const;

    xcb_connection_t* c_;
    const Atoms& atoms_;
    xcb_window_t root_;
};

} // namespace velora::x11
