#include "platform/x11/x11_workspace.h"

#include "platform/x11/x11_context.h"
#include "platform/x11/x11_running_application.h"

namespace velora::x11 {

std::vector<RunningApplicationRef> X11Workspace::runningApplications() {
    std::vector<RunningApplicationRef> out;
    for (pid_t pid : x_->cache.pidsInDiscoveryOrder())
        if (auto app = x_->apps.find(pid)) out.push_back(app);
    return out;
}

RunningApplicationRef X11Workspace::runningApplicationWithProcessIdentifier(pid_t pid) {
    return x_->apps.find(pid);
}

std::vector<pid_t> X11Workspace::processesInFrontToBackOrder() {
    if (x_->lost.load()) return {};
    return x_->cache.pidsFrontToBack();
}

void X11Workspace::addObserver(WorkspaceObserver* observer) {
    x_->notifier->addWorkspaceObserver(observer);
}

void X11Workspace::removeObserver(WorkspaceObserver* observer) {
    x_->notifier->removeWorkspaceObserver(observer);
}

} // namespace velora::x11
