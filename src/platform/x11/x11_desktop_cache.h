#pragma once
// The backend's picture of the desktop, kept current by the event loop from property and
// structure notifications, so that the frequent questions (which window is active, which
// windows an application has, where a window sits in the stacking order) cost no round trip
// to the X server. Every member locks; readers get copies.

#include <sys/types.h>
#include <xcb/xcb.h>

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

#include "platform/x11/x11_client.h"

namespace velora::x11 {

struct RootState {
    xcb_window_t active = kNoWindow;      // _NET_ACTIVE_WINDOW as the manager last set it
    std::vector<xcb_window_t> clientList; // _NET_CLIENT_LIST (mapping order)
    std::vector<xcb_window_t> stacking;   // _NET_CLIENT_LIST_STACKING (bottom first)
    uint32_t currentDesktop = 0;
    uint32_t desktops = 1;
    std::vector<xcb_atom_t> supported; // _NET_SUPPORTED

    bool supports(xcb_atom_t atom) const;
};

class DesktopCache {
  public:
    // `clock` gives the time in seconds (the main thread's clock; a test's own).
    explicit DesktopCache(std::function<double()> clock) : now_(std::move(clock)) {}

    // The atoms of the minimised state (set once, before the event loop starts).
    void setStateAtoms(xcb_atom_t hidden, xcb_atom_t shaded);
    bool isMinimized(const ClientInfo& info) const;

    // --- questions, from any thread
    std::optional<ClientInfo> client(xcb_window_t window) const;
    bool isClient(xcb_window_t window) const;
    // A managed window that has gone (kept for a while so that its role can still be told).
    bool wasDestroyed(xcb_window_t window) const;
    RootState root() const;
    // The active window: _NET_ACTIVE_WINDOW, except that a window which refuses the input
    // focus and was activated by this program counts as active (the manager raises such a
    // window but leaves the focus, and the property, where they were) until the manager
    // activates another window. Managers clear the property for an instant while the focus
    // moves; for kZeroGraceSeconds the window active before still counts.
    xcb_window_t activeWindow() const;
    pid_t activePid() const;
    // Grows whenever the active window or its owner changes (a lapse of the brief zero above
    // counts as no change; a request below that lapsed counts when this or lapseRequest() is
    // next read): the focused-window poll sleeps while it stands still.
    uint64_t focusChanges();
    // Managed windows, front first.
    std::vector<ClientInfo> clientsFrontFirst() const;
    std::vector<ClientInfo> clientsOf(pid_t pid) const;
    // The window of the process that was active last (by the manager's word or this
    // program's request), else its frontmost; a window that is not minimised is preferred.
    xcb_window_t mostRecentWindowOf(pid_t pid) const;
    // Owners of managed windows: the active one first, then by their last active window,
    // then by their front window.
    std::vector<pid_t> pidsFrontToBack() const;
    // Owners of managed windows in the order they were first seen.
    std::vector<pid_t> pidsInDiscoveryOrder() const;
    bool hasPid(pid_t pid) const;
    // The managed window a root child (frame) holds.
    xcb_window_t clientOfFrame(xcb_window_t frame) const;
    std::map<xcb_window_t, xcb_window_t> frames() const; // frame -> client
    std::map<xcb_window_t, pid_t> popUps() const;        // mapped override-redirect windows
    bool isPopUp(xcb_window_t window) const;

    // --- what this program asked for
    // A request for a window that takes the focus stands as the active window until the
    // manager reports that window (at most kRequestStandsSeconds): what it reports meanwhile
    // stems from before the request and is not recent use.
    void noteActivationRequest(xcb_window_t window, bool takesFocus);
    // This program is about to hide one of its windows, and an activation request may
    // follow: until it does (at most kRequestStandsSeconds) the window active now stands as
    // above, so that a focus the hiding moves (the pointer's window entered, under a focus
    // that follows the mouse) is not learnt, even when its report comes before the request.
    void holdActive();
    // Ends the request or hold above once it has stood its time unanswered; true when that
    // changed the active window. No event marks that moment: the desktop calls this when it
    // is due, so that the focused-window poll, asleep until the count moves, is woken.
    bool lapseRequest();
    // The windows that hiding the application minimised, for unhiding.
    void noteHidden(pid_t pid, std::vector<xcb_window_t> windows);
    std::vector<xcb_window_t> takeHidden(pid_t pid);
    // Hidden: this program hid it and none of its windows has come back since.
    bool isHidden(pid_t pid) const;

    // --- changes, from the event loop
    void setActive(xcb_window_t window);
    void setClientList(std::vector<xcb_window_t> list);
    void setStacking(std::vector<xcb_window_t> stacking);
    void setDesktops(uint32_t current, uint32_t count);
    void setCurrentDesktop(uint32_t current);
    void setDesktopCount(uint32_t count);
    void setSupported(std::vector<xcb_atom_t> supported);
    void insertClient(ClientInfo info);
    // Removes a managed window; its last state, or none when it was not managed.
    std::optional<ClientInfo> removeClient(xcb_window_t window);
    // Changes a managed window in place; false when it is not managed.
    bool updateClient(xcb_window_t window, const std::function<void(ClientInfo&)>& change);
    void setFrame(xcb_window_t client, xcb_window_t frame);
    // The stacking order of the root's children, kept from structure notifications (some
    // managers, fluxbox among them, do not keep _NET_CLIENT_LIST_STACKING in step).
    void resetRootStack(std::vector<xcb_window_t> bottomFirst);
    void rootChildOnTop(xcb_window_t window); // created, or reparented to the root
    void rootChildAtBottom(xcb_window_t window);
    void rootChildAbove(xcb_window_t window, xcb_window_t sibling); // sibling none: at the bottom
    void rootChildGone(xcb_window_t window);
    std::vector<xcb_window_t> rootStack() const; // bottom first
    void setPopUp(xcb_window_t window, pid_t pid);
    void erasePopUp(xcb_window_t window);
    // Every window, list and flag forgotten (the connection is gone).
    void clear();

    static constexpr double kZeroGraceSeconds = 0.25;
    // How long this program's own activation request names an application's most recent
    // window, and, until the manager reports it active, the active window.
    static constexpr double kRequestStandsSeconds = 1.0;
    // Destroyed windows remembered.
    static constexpr std::size_t kRememberedDestroyed = 512;

  private:
    std::vector<xcb_window_t> frontFirstLocked() const;
    xcb_window_t activeLocked() const;
    void touchLocked(xcb_window_t window);
    bool requestPendsLocked() const;
    bool lapseLocked();
    bool minimizedLocked(const ClientInfo& info) const;
    // Counts a change of the active window or its owner since the last call.
    void noteFocusLocked();

    const std::function<double()> now_;
    mutable std::mutex mutex_;
    RootState root_;
    std::unordered_map<xcb_window_t, ClientInfo> clients_;
    std::unordered_map<xcb_window_t, xcb_window_t> frameToClient_;
    std::map<xcb_window_t, pid_t> popUps_;
    std::deque<xcb_window_t> destroyedOrder_;
    std::set<xcb_window_t> destroyed_;
    std::vector<xcb_window_t> recency_;   // most recently active first
    std::vector<xcb_window_t> rootStack_; // the root's children, bottom first
    xcb_window_t focuslessActive_ = kNoWindow;
    xcb_window_t activeBeforeZero_ = kNoWindow; // what was active when the property became 0
    double zeroSince_ = 0;
    xcb_window_t requested_ = kNoWindow; // this program's last activation request, and when
    double requestedAt_ = 0;
    bool requestPending_ = false; // not yet reported active by the manager
    std::map<pid_t, std::vector<xcb_window_t>> hidden_;
    uint64_t nextDiscovery_ = 0;
    xcb_window_t focusSeen_ = kNoWindow;
    pid_t focusSeenPid_ = 0;
    uint64_t focusChanges_ = 0;
    xcb_atom_t hiddenState_ = XCB_ATOM_NONE, shadedState_ = XCB_ATOM_NONE;
};

} // namespace velora::x11
