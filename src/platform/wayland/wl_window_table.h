#pragma once
// The windows of the Wayland desktop as the event thread learns them: each foreign toplevel
// (title, app_id, states) joined with sway's view of it (pid, rectangle, workspace,
// visibility). Toplevels carry no id the compositor's IPC shares, so a toplevel and a view
// are paired by app_id and title, in the order both were made. A window whose view is not
// known yet has no pid and is left out of everything that lists windows or applications.
// The event thread writes; any thread reads.

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/geometry.h"
#include "platform/wayland/sway_ipc.h"

namespace velora::wl {

struct WlWindow {
    uint32_t number = 0;
    pid_t pid = 0;
    int64_t conId = 0;
    std::string appId, title;
    bool activated = false, minimized = false, maximized = false, fullscreen = false;
    Rect bounds;
    int32_t workspace = 0;
    bool visible = false;
};

class WindowTable {
  public:
    // What a change did to the set of windows and applications that have a pid, for the
    // notifications.
    struct Changes {
        std::vector<std::pair<pid_t, uint32_t>> created, destroyed;
        std::vector<pid_t> launched, terminated;
    };

    // A new toplevel; its number.
    uint32_t add();
    // The toplevel's state after its "done" event. A window that becomes activated moves to
    // the front of the recency order.
    void update(uint32_t number, const std::string& appId, const std::string& title, bool activated,
                bool minimized, bool maximized, bool fullscreen);
    Changes remove(uint32_t number);
    // A window the program has asked the compositor to activate comes first at once, so that
    // an application activated right after one of its windows was raised activates that one
    // (the compositor's answer arrives later and agrees).
    void promote(uint32_t number);
    // Pairs toplevels with the compositor's views (see above).
    Changes applyViews(const std::vector<SwayView>& views);
    // Without the compositor's IPC (no pid, no rectangle): each app_id is one application,
    // numbered from kAppIdPidBase up, above any process number the kernel gives, and each
    // window gets a nominal rectangle of its own (x = its number) so that the windows stay
    // apart. An app_id whose windows have all gone gets a new number when it comes back.
    Changes groupByAppId();
    static constexpr pid_t kAppIdPidBase = pid_t(1) << 30;
    static bool isAppIdPid(pid_t pid) { return pid >= kAppIdPidBase; }

    std::optional<WlWindow> window(uint32_t number) const;
    // Windows with a pid, most recently activated first.
    std::vector<WlWindow> frontToBack() const;
    std::vector<WlWindow> windowsOf(pid_t pid) const;
    std::vector<pid_t> pidsFrontToBack() const;
    std::vector<pid_t> pidsInDiscoveryOrder() const;
    bool hasPid(pid_t pid) const;
    // The activated window with a pid, else (a layer surface has the keyboard) the most
    // recently activated one; 0 when there is no window.
    uint32_t activeWindow() const;
    pid_t activePid() const;
    // Grows with every change of the activated window.
    uint64_t focusChanges() const;

  private:
    std::vector<pid_t> pidsLocked() const;
    const WlWindow* activeLocked() const;
    Changes diff(const std::vector<WlWindow>& before) const;

    mutable std::mutex mutex_;
    std::vector<WlWindow> windows_; // most recently activated first
    std::vector<pid_t> discovered_; // pids in the order they were first seen
    uint32_t next_ = 1;
    uint64_t focusChanges_ = 0;
    std::map<std::string, pid_t> appIdPids_; // groupByAppId's numbers of the app_ids seen
    pid_t nextAppIdPid_ = kAppIdPidBase;
};

} // namespace velora::wl
