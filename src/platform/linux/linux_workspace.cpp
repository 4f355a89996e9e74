#include "platform/linux/linux_workspace.h"

#include <filesystem>

#include "platform/linux/app_identity.h"
#include "platform/linux/file_viewer.h"
#include "platform/linux/spawn.h"

namespace velora {

bool LinuxWorkspace::launchApplication(const std::string& executablePath, uint32_t) {
    if (executablePath.empty()) return false;
    return spawnDetached({executablePath});
}

bool LinuxWorkspace::openFile(const std::string& path, const std::string& applicationPath) {
    if (path.empty()) return false;
    if (applicationPath.empty()) return openWithDefaultApplication(path);
    return spawnDetached({applicationPath, path});
}

bool LinuxWorkspace::revealFile(const std::string& path) {
    return revealInFileViewer(path);
}

std::optional<ApplicationBundleInfo>
LinuxWorkspace::bundleInfoForIdentifier(const std::string& bundleIdentifier) {
    if (bundleIdentifier.empty()) return std::nullopt;
    if (auto info = bundleInfoOfEntry(bundleIdentifier)) return info;
    for (const RunningApplicationRef& app : runningApplications()) {
        if (!app || app->bundleIdentifier() != bundleIdentifier) continue;
        ApplicationBundleInfo info;
        info.path = app->executablePath();
        info.name = app->localizedName();
        if (!info.path.empty()) info.executable = std::filesystem::path(info.path).filename().string();
        return info;
    }
    return std::nullopt;
}

} // namespace velora
