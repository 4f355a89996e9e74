// The single keys that act on a switch: dispatch from the tap thread, and the engine's own
// commands (preferences, reveal, hide others).
#include <QUrl>

#include "engine/vl_handler.h"
#include "platform/platform.h"

namespace velora {

bool VLHandler::shouldHandleKey(const KeyEvent& event) {
    if (!shouldHandleKeys()) return false;
    const SwitchCommand command = commandForKey(event);
    if (command == SwitchCommand::None) return false;
    dispatchCommand(command, session_.load());
    return true;
}

void VLHandler::dispatchCommand(SwitchCommand command, uint64_t session) {
    // By the time the main thread runs it the switch may have ended (a release, another
    // command); a command then acts on nothing rather than on a later switch.
    mainThread().performAsync([this, command, session] {
        if (isCurrentSession(session) && shouldHandleKeys()) runCommand(command);
    });
}

void VLHandler::runCommand(SwitchCommand command) {
    IKBController& panel = coverFlow();
    switch (command) {
    case SwitchCommand::OpenPrefs:
        openPrefs();
        break;
    case SwitchCommand::Quit:
        panel.quitApp();
        break;
    case SwitchCommand::Minimize:
        panel.minimizeWindow();
        break;
    case SwitchCommand::Hide:
        panel.hideApp();
        break;
    case SwitchCommand::ForceQuit:
        panel.forceQuitApp();
        break;
    case SwitchCommand::Reveal:
        revealInFinder();
        break;
    case SwitchCommand::Cancel:
        cancelHandling();
        break;
    case SwitchCommand::Close:
        panel.closeWindow();
        break;
    case SwitchCommand::HideOthers:
        hideOthers();
        break;
    case SwitchCommand::None:
        break;
    }
}

void VLHandler::openPrefs() {
    if (!mainThread().isMainThread()) {
        lock_.lock();
        lock_.unlock();
        mainThread().performAsync([this] { openPrefs(); });
        return;
    }
    if (!lock_.lockOrRetryLater([this] { openPrefs(); })) return;
    SessionLockHold hold(lock_);
    if (!sessionIsOpen() || !coverFlow().isShown()) return;
    endSession();
    queue().cancelAllOperations();
    unregisterHotkeys();
    coverFlow().hide();
    if (VLApplicationDelegate* delegate = applicationDelegate()) delegate->showPreferences();
}

void VLHandler::revealInFinder() {
    if (!mainThread().isMainThread()) {
        lock_.lock();
        lock_.unlock();
        mainThread().performAsync([this] { revealInFinder(); });
        return;
    }
    if (!lock_.lockOrRetryLater([this] { revealInFinder(); })) return;
    SessionLockHold hold(lock_);
    if (!sessionIsOpen() || !coverFlow().isShown()) return;
    IKBBrowserItemRef item = coverFlow().selectedElement();
    if (!item) return;

    std::string path;
    if (item->isWindow()) {
        const QUrl document = item->windowRef() ? item->windowRef()->documentURL() : QUrl();
        path = document.isLocalFile() ? document.toLocalFile().toStdString() : document.path().toStdString();
    } else if (item->runningApplication()) {
        path = item->runningApplication()->bundlePath();
    }
    // Nothing to show: the switch goes on unchanged.
    if (path.empty()) {
        sound().beep();
        return;
    }
    endSession();
    queue().cancelAllOperations();
    unregisterHotkeys();
    workspace().revealFile(path);
    coverFlow().hide();
}

void VLHandler::hideOthers() {
    IKBBrowserItemRef item = coverFlow().selectedElement();
    if (!item) return;
    RunningApplicationRef keep =
        item->isWindow() ? (item->windowRef() ? item->windowRef()->runningApplicationForWindow() : nullptr)
                         : item->runningApplication();
    if (!keep) return;
    if (keep->isHidden()) keep->unhide();
    for (const RunningApplicationRef& app : workspace().runningApplications())
        if (app && !app->isEqualTo(*keep)) app->hide();
    endHandling();
}

} // namespace velora
