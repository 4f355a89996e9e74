#pragma once
// What the ports of the Wayland desktop share: the window table, the running applications,
// the notifier, sway's IPC, the taps and the live modifier state.

#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#include "platform/linux/desktop_notifier.h"
#include "platform/main_thread.h"
#include "platform/wayland/compositor_config.h"
#include "platform/wayland/sway_ipc.h"
#include "platform/wayland/wl_event_tap.h"
#include "platform/wayland/wl_window_table.h"

namespace velora::wl {

class WlRunningApplication;
class WlSession;

struct WlContext : std::enable_shared_from_this<WlContext> {
    explicit WlContext(MainThreadPort& main)
        : mainThread(main), notifier(std::make_shared<DesktopNotifier>(main)) {}

    // The compositor's views joined into the table now; notifies what changed. Any thread.
    void refreshViews();
    // Notifies what a change of the table did.
    void announce(const WindowTable::Changes& changes);
    std::shared_ptr<WlRunningApplication> application(pid_t pid);

    MainThreadPort& mainThread;
    WindowTable table;
    std::shared_ptr<DesktopNotifier> notifier;
    SwayIpc ipc; // requests (commands, the tree)
    TapHub taps;
    std::atomic<uint64_t> liveFlags{0};
    std::atomic<bool> lost{false};
    // The compositor the session runs, from its environment (set once, at the start).
    Compositor compositor = detectCompositor([](const char* name) { return std::getenv(name); });
    // sway has no minimised state: it ignores set_minimized. The first time a window is to
    // be minimised or an application hidden, the user reads one line saying so.
    bool canMinimize = false;
    void noteCannotMinimize();
    WlSession* session = nullptr; // set while the session lives

  private:
    std::atomic<bool> minimizeNoted_{false};
    std::mutex appsMutex_;
    std::map<pid_t, std::shared_ptr<WlRunningApplication>> apps_;
};

} // namespace velora::wl
