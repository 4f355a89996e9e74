#include "platform/x11/x11_workspace.h"

#include <filesystem>

#include "platform/linux/app_identity.h"
#include "platform/linux/file_viewer.h"
#include "platform/linux/spawn.h"
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

bool X11Workspace::launchApplication(const std::string& executablePath, uint32_t) {
    if (executablePath.empty()) return false;
    return spawnDetached({executablePath});
}

bool X11Workspace::openFile(const std::string& path, const std::string& applicationPath) {
    if (path.empty()) return false;
    if (applicationPath.empty()) return openWithDefaultApplication(path);
    return spawnDetached({applicationPath, path});
}

bool X11Workspace::revealFile(const std::string& path) {
    return revealInFileViewer(path);
}

std::optional<ApplicationBundleInfo>
X11Workspace::bundleInfoForIdentifier(const std::string& bundleIdentifier) {
    if (bundleIdentifier.empty()) return std::nullopt;
    if (auto info = bundleInfoOfEntry(bundleIdentifier)) return info;
    for (pid_t pid : x_->apps.pids()) {
        auto app = x_->apps.find(pid);
        if (!app || app->bundleIdentifier() != bundleIdentifier) continue;
        ApplicationBundleInfo info;
        info.path = app->executablePath();
        info.name = app->localizedName();
        if (!info.path.empty()) info.executable = std::filesystem::path(info.path).filename().string();
        return info;
    }
    return std::nullopt;
}

} // namespace velora::x11
