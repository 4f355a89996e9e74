#pragma once
// What the parts of the X11 desktop share: the connection and its atoms, the cache that the
// event loop keeps, the requests to the manager, and the helpers each port leans on. Owned
// by X11Desktop through a shared pointer; objects handed out to the system (running
// applications) hold it weakly, so that they outlive the desktop harmlessly.

#include <sys/types.h>
#include <xcb/xcb.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/linux/desktop_notifier.h"
#include "platform/main_thread.h"
#include "platform/x11/x11_atoms.h"
#include "platform/x11/x11_desktop_cache.h"
#include "platform/x11/x11_event_tap.h"
#include "platform/x11/x11_key_grabs.h"
#include "platform/x11/x11_keyboard.h"
#include "platform/x11/x11_pictures.h"
#include "platform/x11/x11_responsiveness.h"
#include "platform/x11/x11_unmap_watch.h"
#include "platform/x11/x11_window_actions.h"

namespace velora::x11 {

class X11RunningApplication;

// The running applications: one object per process that owns managed windows, kept while it
// does; a process that loses its last window is marked terminated and let go.
class AppRegistry {
  public:
    std::shared_ptr<X11RunningApplication> find(pid_t pid) const;
    void insert(pid_t pid, std::shared_ptr<X11RunningApplication> app);
    // Removes and marks terminated; the object, or null when there was none.
    std::shared_ptr<X11RunningApplication> remove(pid_t pid);
    std::vector<pid_t> pids() const;
    void clear();

  private:
    mutable std::mutex mutex_;
    std::map<pid_t, std::shared_ptr<X11RunningApplication>> apps_;
};

struct X11Context : std::enable_shared_from_this<X11Context> {
    X11Context(xcb_connection_t* connection, xcb_screen_t* screen, MainThreadPort& main);
    ~X11Context();
    X11Context(const X11Context&) = delete;
    X11Context& operator=(const X11Context&) = delete;

    xcb_connection_t* const c;
    xcb_screen_t* const screen;
    const xcb_window_t root;
    MainThreadPort& mainThread;
    Atoms atoms;
    std::string localHost;
    std::string displayName;
    xcb_window_t ownWindow = kNoWindow;             // this program's own unmapped window
    xcb_atom_t compositorSelection = XCB_ATOM_NONE; // _NET_WM_CM_S<screen>: owned by a compositor
    bool hasXInput = false;                         // XInput 2.1 raw events
    uint8_t xinputOpcode = 0;

    DesktopCache cache;
    WindowActions actions;
    Responsiveness responsiveness;
    Keyboard keyboard;
    KeyGrabs grabs;
    TapHub taps;
    Pictures pictures;
    std::shared_ptr<DesktopNotifier> notifier;
    AppRegistry apps;
    UnmapWatch unmaps;
    std::atomic<bool> lost{false};

    // The windows of the process that answer pings.
    std::vector<xcb_window_t> pingableWindowsOf(pid_t pid) const;
    // Activates a window as the switcher does: asks the manager to activate and raise it,
    // and counts it as active when it refuses the focus (the manager then only raises it).
    void activateWindow(xcb_window_t window);
    // After an activation request or a hold (DesktopCache): once it may have lapsed
    // unanswered, counts the lapse and wakes the main-thread port's sleepers when that moved
    // the active window. Nothing from the server marks that moment, and the focused-window
    // poll sleeps until the focus count moves: a window the manager activated during the
    // hold would otherwise stay unlearnt until the poll's next rescan.
    void watchRequestLapse();
    void raiseWindow(xcb_window_t window);
};

} // namespace velora::x11
