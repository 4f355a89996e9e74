#pragma once
// What every Linux desktop backend's workspace does the same way: starting programs without a
// shell, opening and revealing files through the desktop, and finding an application's
// program by its desktop entry or, failing that, among the running applications.

#include "platform/workspace.h"

namespace velora {

class LinuxWorkspace : public WorkspacePort {
  public:
    bool launchApplication(const std::string& executablePath, uint32_t options) override;
    bool openFile(const std::string& path, const std::string& applicationPath) override;
    bool revealFile(const std::string& path) override;
    // The desktop entry with that id; else, for a running application known by that
    // identifier (a window class, an app id), its program.
    std::optional<ApplicationBundleInfo>
    bundleInfoForIdentifier(const std::string& bundleIdentifier) override;
};

} // namespace velora
