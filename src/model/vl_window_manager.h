#pragma once
// VLWindowManager: the system's own list of the windows of all running applications, most
// recently used first.
//
// The list is assembled from full scans of every application's windows (at set-up, on each
// change of the active space, every 10 s and for each launched application), from the
// accessibility notifications of every application (window created, element destroyed) and
// from a poll of the focused window every 0.2 s, which moves that window to the top. Only the
// poll moves windows up: scanned and created windows enter at the bottom. Where the desktop
// reports focus changes (AccessibilityPort::focusChangeCount), the poll skips the passes in
// which the focus stood still and sleeps until a change or the next rescan.
//
// Threads and locks:
// - The window list lock guards the list only, and every read or change is one locked step.
//   It may be taken while the engine's lock is held, never the reverse; nothing is called
//   out of the model while it is held.
// - processWindow() looks up and places a window in one locked step, so two threads placing
//   the same new window never both add it.
// - The observer holders have their own lock; a process is watched at most once even when
//   the main thread and the scanning thread add it at the same moment.
// - Every observer delivers on the main thread (AXObserver::scheduleOnMainThread), whichever
//   thread installed it; the scanning thread runs no run loop of its own.
// - Readers get snapshots (windowsArray), never the live list.
//
// The shared manager lives until the process ends; its scanning thread ends when the
// platform shuts down (MainThreadPort::sleepFor returns false).

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "model/vl_element.h"
#include "model/vl_observer.h"
#include "platform/workspace.h"

namespace velora {

class VLWindowManager final : public WorkspaceObserver, public std::enable_shared_from_this<VLWindowManager> {
  public:
    // Focused-window poll interval, and the passes between two existence purges and rescans.
    static constexpr double kPollInterval = 0.2;
    static constexpr int kPassesPerRescan = 50;

    // The single instance, created and set up on the first call (under a class lock): it
    // registers for workspace notifications, scans every application and starts the
    // scanning thread. Any thread.
    static VLWindowManager& sharedManager();
    // For tests: stops the shared manager's scanning thread and waits for it, unregisters it
    // and lets it go, so that the next sharedManager() starts afresh. Call on the main thread
    // once the platform has begun to shut down (its sleeps then return at once) and while it
    // is still installed.
    static void resetSharedManagerForTesting();

    ~VLWindowManager() override;
    VLWindowManager(const VLWindowManager&) = delete;
    VLWindowManager& operator=(const VLWindowManager&) = delete;

    // --- the list (each one locked step)

    // A copy of the list, most recent first.
    std::vector<VLElementRef> windowsArray() const;
    void addObject(VLElementRef record);
    // Inserts at the index (clamped to the end).
    void insertObject(VLElementRef record, std::size_t index);
    // Removes every listed record equal to the record (and the record itself).
    void removeObject(const VLElementRef& record);

    // Places one window. Already listed at the top: nothing. Listed lower: moved to the top
    // when addToTop, else left where it is; the listed record is kept (with what it has
    // learned) and `record` dropped. Not listed: inserted at the top when addToTop, else
    // appended. Null records and records with a null element are ignored.
    void processWindow(VLElementRef record, bool addToTop);
    // Removes the records of the element.
    void removeWindow(const AXElement& element);

    // The listed windows of the process that pass shouldShowWindow(), most recent first.
    // Fetches the window server's list at most once, only if a record needs matching.
    std::vector<VLElementRef> windowsForPID(pid_t pid) const;
    // Whether some listed window of the process passes shouldShowWindowDisregardingOptions()
    // (the user's options for minimised windows and hidden applications do not apply).
    bool pidHasOpenWindows(pid_t pid) const;

    // --- scanning

    // addAppWindows() and addObserverForApp() for every running application, in the
    // workspace's order.
    void scanApps();
    // Appends the application's windows that are not listed yet, in the application's order.
    void addAppWindows(pid_t pid);
    // Starts watching the application's window creations and element destructions; a
    // watched process is left as it is.
    void addObserverForApp(pid_t pid);
    // A copy of the observer holders.
    std::vector<std::shared_ptr<VLObserver>> observers() const;

    // The steps of the scanning thread: the focused-window poll, and the existence purge
    // (records that are not the no-window marker and fail checkIfExists) with the rescan
    // that follows it.
    void pollFocusedWindow();
    // Sleeps while the focus change count stays at `seen`, up to the next rescan; advances
    // `pass` by the polls skipped. False when the platform shuts down.
    bool waitForFocusChange(uint64_t seen, int& pass);
    void purgeAndRescan();
    // Passes the scanning thread has completed (each counted just before its sleep).
    uint64_t completedPasses() const { return completedPasses_.load(std::memory_order_acquire); }

    // --- workspace notifications (main thread)

    void appLaunched(pid_t pid);
    // Drops the process's observer holder. Its windows stay until a destroyed notification
    // or the next purge removes them.
    void appTerminated(pid_t pid);
    void spacesChanged();

    void applicationLaunched(pid_t pid) override { appLaunched(pid); }
    void applicationTerminated(pid_t pid) override { appTerminated(pid); }
    void activeSpaceChanged() override { spacesChanged(); }

  private:
    VLWindowManager();
    void setUp();
    void scanWindowsThread();
    // Unregisters, ends the scanning thread and releases the observers.
    void stop();

    mutable std::mutex windowsMutex_;
    std::vector<VLElementRef> windows_;

    mutable std::mutex observersMutex_;
    std::vector<std::shared_ptr<VLObserver>> observers_;

    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> completedPasses_{0};
    bool registered_ = false;
    std::thread scanningThread_;
};

} // namespace velora
