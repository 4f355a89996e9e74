// The seven hot key actions, their candidate lists and the application rule.
#include "engine/vl_handler.h"
#include "model/filter_levels.h"
#include "model/vl_window_manager.h"
#include "platform/platform.h"

namespace velora {

void VLHandler::KeyCycleAppForward() {
    cycle(IKBController::kModeApplications, true);
}
void VLHandler::KeyCycleAppBackward() {
    cycle(IKBController::kModeApplications, false);
}
void VLHandler::KeyCycleWindowForward() {
    cycle(IKBController::kModeAllWindows, true);
}
void VLHandler::KeyCycleWindowBackward() {
    cycle(IKBController::kModeAllWindows, false);
}
void VLHandler::KeyCycleAppWindowForward() {
    cycle(IKBController::kModeApplicationWindows, true);
}
void VLHandler::KeyCycleAppWindowBackward() {
    cycle(IKBController::kModeApplicationWindows, false);
}

void VLHandler::KeyUniversalBackward() {
    // Registered only while a switch is under way; a late firing after its end does nothing.
    if (shouldHandleKeys()) coverFlow().selectPrevious();
}

void VLHandler::cycle(int32_t mode, bool forward) {
    IKBController& panel = coverFlow();
    if (panel.isShown()) {
        if (panel.mode() == mode) {
            if (forward)
                panel.selectNext();
            else
                panel.selectPrevious();
            return;
        }
        // The panel's full-screen presentation may change with the mode.
        if (fullScreenApps() != fullScreenWindows()) panel.hide();
    }
    panel.setMode(mode);
    VLCandidateList candidates = candidatesForMode(mode);
    const uint64_t session = openSession();
    startPolling(forward, candidates, session);
    panel.populateItems(candidates);
    registerHotkeys(mode);
    if (!forward) panel.selectLast();
}

std::vector<pid_t> VLHandler::CopyProcessesInFrontToBackOrder() {
    return workspace().processesInFrontToBackOrder();
}

VLCandidateList VLHandler::candidatesForMode(int32_t mode) {
    VLCandidateList candidates;
    switch (mode) {
    case IKBController::kModeApplications:
        for (pid_t pid : CopyProcessesInFrontToBackOrder()) {
            RunningApplicationRef app = workspace().runningApplicationWithProcessIdentifier(pid);
            // An application that is still starting is never a candidate.
            if (app && app->isFinishedLaunching()) candidates.emplace_back(std::move(app));
        }
        break;
    case IKBController::kModeAllWindows:
        for (VLElementRef& window : VLWindowManager::sharedManager().windowsArray())
            candidates.emplace_back(std::move(window));
        break;
    case IKBController::kModeApplicationWindows:
        if (RunningApplicationRef active = VLElement::currentActiveApplication())
            for (VLElementRef& window :
                 VLWindowManager::sharedManager().windowsForPID(active->processIdentifier()))
                candidates.emplace_back(std::move(window));
        break;
    default:
        break;
    }
    return candidates;
}

bool VLHandler::shouldShowApp(const RunningApplicationRef& app) {
    // An application that has quit since the list was made is skipped like a refused one.
    if (!app || app->isTerminated()) return false;
    if (ignoreHiddenApps() && app->isHidden()) return false;
    if (ignoreNoWindowApps() && !VLWindowManager::sharedManager().pidHasOpenWindows(app->processIdentifier()))
        return false;
    return effectiveFilterLevel(VLElement::getFilterLevel(app->bundleIdentifier())) != kFilterLevelBlockAll;
}

} // namespace velora
