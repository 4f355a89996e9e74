#pragma once
// VLHandler: the switching engine. One per process. It covers a switch from the first hot
// key press to activation, cancel or a command:
//
// 1. A cycle action (main thread) sets the panel's mode, builds the candidate list, starts a
//    polling thread, fills the still hidden panel and registers the temporary keys.
// 2. The polling thread watches the modifiers every 0.05 s under the session lock. Released
//    before the display delay: the quick switch activates the next candidate without
//    showing anything. Still held when the delay runs out: the main thread shows the panel.
// 3. With the panel up, presses of the same mode move the selection; the release of the
//    modifiers (endHandling) activates the selection and hides the panel; Escape cancels
//    back to the application that was in front; letter keys act on the selection.
//
// Decisions of this engine (docs/engine.md has the reasoning):
// - The main thread never blocks on the session lock (SessionLock::lockOrRetryLater), so a
//   command during the display delay cannot deadlock with the polling thread that waits for
//   the main thread to show the panel.
// - Every cycle action that starts a polling thread opens a new session number, and every
//   end of a switch (activation, cancel, a command that ends it, a drop) closes it. A
//   polling thread whose session is no longer current ends without acting; the quick
//   switch's main-thread hand-offs and the command keys act only in the session they were
//   made in. So one hold of the modifiers ends in exactly one activation, cancel or command.
// - A polling thread that shows the panel after the modifiers were already released ends
//   the switch itself (the release's end may have come first and found nothing to end).
// - The quick switch hides a panel that is up (a mode change keeps the panel visible), and
//   every end operation finds its selection through selectedElement(), which is never a
//   missing item: an end with no items just hides.
// - Off the main thread endHandling only waits for the polling thread and hands itself to
//   the main thread; it never asks the panel (whose window and view are main-thread objects).
//
// Settings are VLSettings::shared() (atomics and the copy-on-write filters): the properties
// here read and write them, so they are safe from any thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "base/guarded.h"
#include "base/operation_queue.h"
#include "base/short_lived_threads.h"
#include "engine/command_keys.h"
#include "engine/session_lock.h"
#include "engine/vl_application_delegate.h"
#include "engine/vl_hot_key_link.h"
#include "model/vl_settings.h"
#include "panel/ikb_controller.h"
#include "panel/panel_session.h"
#include "panel/switch_candidate.h"

namespace velora {

// The panel window and image-flow view the "CoverFlow" interface provides; owned by whoever
// loaded them, and kept for the life of the process.
struct VLPanelOutlets {
    PanelWindow* window = nullptr;
    ImageFlowView* browserView = nullptr;
};
using VLCoverFlowLoader = std::function<VLPanelOutlets()>;
// The announcement check the engine's own thread runs once at set-up (the application brings
// it: the fetch and the alert are the application's).
using VLAnnounceCheck = std::function<void()>;

class VLHandler final : public PanelSession, public SGHotKeyCenterDelegate {
  public:
    // Polling interval of the display delay.
    static constexpr double kPollInterval = 0.05;
    // How many polls before the panel shows its pictures are asked for (0.1 s): long enough
    // to read the windows that changed, short enough that a quick switch asks for none.
    static constexpr float kPictureLeadPolls = 2.0f;
    // Activation of an application by a switch: all its windows, ignoring the others.
    static constexpr uint32_t kActivateForSwitch = kActivateAllWindows | kActivateIgnoringOtherApps;

    // --- the engine

    // Created and set up on the first call, under a class lock. Any thread.
    static VLHandler& sharedHandler();
    // Installed before the first sharedHandler(): how the panel's window and view are loaded
    // (none: the panel has no outlets), and the hot key center to use (none: the shared one).
    static void setCoverFlowLoader(VLCoverFlowLoader loader);
    static void setHotKeyLink(VLHotKeyLink* link);
    // Installed before the first sharedHandler(); none: no announcement check.
    static void setAnnounceCheck(VLAnnounceCheck check);
    // For tests: ends the engine's threads and forgets the engine, so that the next
    // sharedHandler() starts afresh. Call on the main thread once the platform has begun to
    // shut down (sleeps and waits for the main thread then return) and while it is installed.
    static void resetSharedHandlerForTesting();

    ~VLHandler() override;
    VLHandler(const VLHandler&) = delete;
    VLHandler& operator=(const VLHandler&) = delete;

    void setApplicationDelegate(VLApplicationDelegate* delegate) { delegate_.store(delegate); }
    VLApplicationDelegate* applicationDelegate() const { return delegate_.load(); }

    // --- settings (VLSettings::shared(); any thread)

    int32_t showSpaceBadges() const { return settings().showSpaceBadges.load(); }
    void setShowSpaceBadges(int32_t v) { settings().showSpaceBadges.store(v); }
    int32_t showAppBadges() const { return settings().showAppBadges.load(); }
    void setShowAppBadges(int32_t v) { settings().showAppBadges.store(v); }
    int32_t ignoreMinimized() const { return settings().ignoreMinimized.load(); }
    void setIgnoreMinimized(int32_t v) { settings().ignoreMinimized.store(v); }
    int32_t ignoreHidden() const { return settings().ignoreHidden.load(); }
    void setIgnoreHidden(int32_t v) { settings().ignoreHidden.store(v); }
    int32_t fullScreenWindows() const { return settings().fullScreenWindows.load(); }
    void setFullScreenWindows(int32_t v) { settings().fullScreenWindows.store(v); }
    int32_t fullScreenApps() const { return settings().fullScreenApps.load(); }
    void setFullScreenApps(int32_t v) { settings().fullScreenApps.store(v); }
    int32_t ignoreNoWindowApps() const { return settings().ignoreNoWindowApps.load(); }
    void setIgnoreNoWindowApps(int32_t v) { settings().ignoreNoWindowApps.store(v); }
    int32_t ignoreHiddenApps() const { return settings().ignoreHiddenApps.load(); }
    void setIgnoreHiddenApps(int32_t v) { settings().ignoreHiddenApps.store(v); }
    int32_t shouldReOpen() const { return settings().shouldReOpen.load(); }
    void setShouldReOpen(int32_t v) { settings().shouldReOpen.store(v); }
    int32_t windowShowWindowName() const { return settings().windowShowWindowName.load(); }
    void setWindowShowWindowName(int32_t v) { settings().windowShowWindowName.store(v); }
    int32_t windowShowAppName() const { return settings().windowShowAppName.load(); }
    void setWindowShowAppName(int32_t v) { settings().windowShowAppName.store(v); }
    int32_t appShowAppName() const { return settings().appShowAppName.load(); }
    void setAppShowAppName(int32_t v) { settings().appShowAppName.store(v); }
    float width() const { return settings().width.load(); }
    void setWidth(float v) { settings().width.store(v); }
    float height() const { return settings().height.load(); }
    void setHeight(float v) { settings().height.store(v); }
    float displayDelay() const { return settings().displayDelay.load(); }
    void setDisplayDelay(float v) { settings().displayDelay.store(v); }
    std::shared_ptr<const FilterDictionary> filters() const { return settings().filters(); }
    void setFilters(FilterDictionary filters) { settings().setFilters(std::move(filters)); }

    // --- what the engine owns

    IKBController& coverFlow() const { return *coverFlow_; }
    OperationQueue& queue() override { return *queue_; }
    RunningApplicationRef previouslyActive() const { return previouslyActive_.get(); }
    void setPreviouslyActive(RunningApplicationRef app) override { previouslyActive_.set(std::move(app)); }
    // 1.0, 2.0, 3.0, ... over the life of the process.
    double nextID() override;
    // True while the temporary keys of a switch are registered.
    bool shouldHandleKeys() const { return shouldHandleKeys_.load(); }

    // --- the switch session

    // The polling operation, on the calling thread (a thread of its own, started by the cycle
    // actions): waits out the display delay, then shows the panel or switches at once. This
    // form polls for the current session.
    void instantActivate(bool forward, const VLCandidateList& candidates);
    // The modifiers were released (or a double click, a drop, hide others): activates the
    // selection and hides the panel. Any thread; the work is done on the main thread.
    void endHandling() override;
    // Escape: hides the panel and returns to the application that was in front. Any thread.
    void cancelHandling();
    // The temporary keys: the backward key and the command keys, when the selection is not
    // the empty item. Main thread. The mode is not consulted.
    void registerHotkeys(int32_t mode);
    void unregisterHotkeys() override;
    void switchEnded() override { endSession(); }
    // The announcement check, started on its own thread at set-up: runs the installed
    // VLAnnounceCheck, or returns at once when none is installed.
    void checkForAnnounce();

    // --- the cycle actions (main thread)

    void KeyCycleAppForward();
    void KeyCycleAppBackward();
    void KeyCycleWindowForward();
    void KeyCycleWindowBackward();
    void KeyCycleAppWindowForward();
    void KeyCycleAppWindowBackward();
    // One step backward in any mode; starts nothing.
    void KeyUniversalBackward();

    // Whether an application may appear in a switch. Any thread.
    bool shouldShowApp(const RunningApplicationRef& app) override;
    // The process identifiers of the running applications, frontmost first; empty when the
    // desktop cannot say.
    static std::vector<pid_t> CopyProcessesInFrontToBackOrder();
    // The candidate list of a mode: applications front to back (those still launching left
    // out), all listed windows, or the listed windows of the active application.
    static VLCandidateList candidatesForMode(int32_t mode);

    // --- the commands inside a switch

    // On the hot key center's tap thread: true when the key is a command of the switch under
    // way (it is swallowed); the command is handed to the main thread, not waited for.
    bool shouldHandleKey(const KeyEvent& event) override;
    void openPrefs();
    void revealInFinder();
    void hideOthers();

    // --- for tests

    // Polling threads started and not yet ended.
    int pollingThreadsRunning() const { return pollingThreads_.load(); }
    // The current session number (odd while a switch is under way).
    uint64_t sessionNumber() const { return session_.load(); }

  private:
    VLHandler();
    void setUp();
    static VLSettings& settings() { return VLSettings::shared(); }
    VLHotKeyLink& hotKeys() const { return *hotKeys_; }

    void cycle(int32_t mode, bool forward);
    void startPolling(bool forward, VLCandidateList candidates, uint64_t session);
    void instantActivate(bool forward, const VLCandidateList& candidates, uint64_t session);
    // `closed`: the number the switch's session was closed to.
    void quickSwitch(bool forward, const VLCandidateList& candidates, uint64_t closed);
    // The walk of a quick switch: activates the first acceptable candidate.
    void activateQuickSwitchTarget(bool forward, const VLCandidateList& candidates);
    // Session numbers: odd while the session is open, the next even number once it is
    // closed. Opened by each cycle action that starts a polling thread (main thread); closed
    // by the end of the switch (main thread, or the polling thread for a quick switch).
    uint64_t openSession();
    // Closes the session if it is the current one and open; false when it is not.
    bool closeSession(uint64_t session);
    // Closes whatever session is open: its polling thread, if still pending, stands down and
    // its queued command keys are dropped.
    void endSession();
    bool isCurrentSession(uint64_t session) const { return session_.load() == session; }
    bool sessionIsOpen() const { return session_.load() % 2 == 1; }
    // Runs a command on the main thread if the switch it was pressed in is still under way.
    void dispatchCommand(SwitchCommand command, uint64_t session);
    void runCommand(SwitchCommand command);
    // The main-thread part of endHandling / cancelHandling, with the lock taken.
    void finishSwitch(bool activate);

    SessionLock lock_;
    std::shared_ptr<IKBController> coverFlow_;
    std::unique_ptr<OperationQueue> queue_;
    VLHotKeyLink* hotKeys_ = nullptr;
    std::atomic<VLApplicationDelegate*> delegate_{nullptr};
    std::atomic<double> windowID_{0.0};
    std::atomic<bool> shouldHandleKeys_{false};
    std::atomic<uint64_t> session_{0};
    std::atomic<int> pollingThreads_{0};

    Guarded<RunningApplicationRef> previouslyActive_;

    ShortLivedThreads threads_; // polling threads
    std::thread announceThread_;
};

} // namespace velora
