// The item commands of a switch: quit, force quit, hide, minimise, close. Each acts on the
// selected item, fades what it acted on and leaves the switch going.
#include "model/known_applications.h"
#include "model/vl_window_manager.h"
#include "panel/ikb_controller.h"
#include "platform/platform.h"

namespace velora {

namespace {

// The messaging time-out while every window of an application is minimised (minimising
// animates and some applications answer slowly), and the one the application runs with.
constexpr float kMinimizeAllTimeout = 1.0f;
constexpr float kDefaultMessagingTimeout = 0.2f;

} // namespace

RunningApplicationRef IKBController::applicationOf(const IKBBrowserItem& item) {
    if (item.isWindow()) return item.windowRef() ? item.windowRef()->runningApplicationForWindow() : nullptr;
    return item.runningApplication();
}

void IKBController::applicationCommand(AppCommand command) {
    IKBBrowserItemRef item = selectedElement();
    if (!item) return;
    RunningApplicationRef app = applicationOf(*item);
    if (!app) return;
    if (command != AppCommand::Hide && app->bundleIdentifier() == kFinderBundle) {
        sound().beep();
        return;
    }
    // An application that cannot be hidden (a desktop without the minimised state) stays as it is.
    if (command == AppCommand::Hide && !app->hide()) {
        sound().beep();
        return;
    }
    // Nor one whose process the desktop does not tell (a Wayland compositor without an IPC):
    // a kill is immediate, so doing it before the fade shows nothing different.
    if (command == AppCommand::ForceQuit && !app->forceTerminate()) {
        sound().beep();
        return;
    }
    // The fade comes first, so the panel shows the effect before the application answers.
    if (item->isWindow())
        fadeWindowsWithPID(app->processIdentifier());
    else
        item->fadeImage(true);
    if (command == AppCommand::Quit) app->terminate();
}

void IKBController::quitApp() {
    applicationCommand(AppCommand::Quit);
}
void IKBController::forceQuitApp() {
    applicationCommand(AppCommand::ForceQuit);
}
void IKBController::hideApp() {
    applicationCommand(AppCommand::Hide);
}

void IKBController::minimizeWindow() {
    IKBBrowserItemRef item = selectedElement();
    if (!item) return;
    if (mode() == kModeApplications) {
        RunningApplicationRef app = item->runningApplication();
        if (!app) return;
        VLElementRef systemWide = VLElement::systemWideElement();
        systemWide->setMessagingTimeout(kMinimizeAllTimeout);
        bool minimized = false;
        for (const VLElementRef& window :
             VLWindowManager::sharedManager().windowsForPID(app->processIdentifier()))
            if (window->isMinimizable()) {
                window->minimizeWindow();
                minimized = true;
            }
        systemWide->setMessagingTimeout(kDefaultMessagingTimeout);
        if (!minimized) {
            sound().beep();
            return;
        }
        item->fadeImage(true);
        return;
    }
    const VLElementRef& window = item->windowRef();
    if (!window || !window->isMinimizable()) {
        sound().beep();
        return;
    }
    item->fadeImage(true);
    window->minimizeWindow();
}

void IKBController::closeWindow() {
    IKBBrowserItemRef item = selectedElement();
    if (!item) return;
    if (mode() == kModeApplications) {
        RunningApplicationRef app = item->runningApplication();
        if (!app) return;
        for (const VLElementRef& window :
             VLWindowManager::sharedManager().windowsForPID(app->processIdentifier()))
            window->closeWindow();
        item->fadeImage(true);
        return;
    }
    const VLElementRef& window = item->windowRef();
    if (!window || !window->isClosable()) {
        sound().beep();
        return;
    }
    item->fadeImage(true);
    window->closeWindow();
}

void IKBController::fadeWindowsWithPID(pid_t pid) {
    int matched = 0;
    // A copy: fading redraws cells, and the list must not change under the walk.
    const std::vector<IKBBrowserItemRef> items = browserData_;
    for (const IKBBrowserItemRef& item : items) {
        const pid_t owner = item->windowRef() ? item->windowRef()->pid() : 0;
        if (owner != 0 && owner == pid) {
            item->fadeImage();
            ++matched;
        }
    }
    // With one item the selection moves on as for a single fade; with several it stays.
    if (matched == 1) selectNext();
}

void IKBController::restoreAlpha() {
    if (browserView_) browserView_->setAlphaValue(1.0);
}

} // namespace velora
