#pragma once
// Workspace port: the running applications, their activation and life, launches, and the
// file viewer.

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/image.h"

namespace velora {

// Activation options.
inline constexpr uint32_t kActivateAllWindows = 1;
inline constexpr uint32_t kActivateIgnoringOtherApps = 2;

// Launch options: asynchronous (0x10000) + classic start-up (0x20000) + without adding to the
// recent items (0x100).
inline constexpr uint32_t kLaunchDefaultOptions = 0x30100;

// One running application. Objects are handed out by the workspace and may outlive the
// process they stand for; then every action is refused and the queries answer as of the
// process's end. Thread-safe: any operation may be called from any thread.
class RunningApplication {
  public:
    virtual ~RunningApplication() = default;

    virtual pid_t processIdentifier() const = 0;
    // Empty when the application has none.
    virtual std::string bundleIdentifier() const = 0;
    virtual std::string localizedName() const = 0;
    virtual ImageRef icon() const = 0;
    // Paths; empty when unknown.
    virtual std::string bundlePath() const = 0;
    virtual std::string executablePath() const = 0;

    virtual bool isHidden() const = 0;
    virtual bool isActive() const = 0;
    virtual bool isFinishedLaunching() const = 0;
    virtual bool isTerminated() const = 0;

    virtual bool activateWithOptions(uint32_t options) = 0;
    virtual bool hide() = 0;
    virtual bool unhide() = 0;
    // Asks the application to quit (it may ask the user to save first).
    virtual bool terminate() = 0;
    virtual bool forceTerminate() = 0;

    // Two objects stand for the same application when their processes are the same.
    bool isEqualTo(const RunningApplication& other) const {
        return processIdentifier() == other.processIdentifier();
    }
};

using RunningApplicationRef = std::shared_ptr<RunningApplication>;

// What an application's bundle (a desktop entry on Linux) says about itself.
struct ApplicationBundleInfo {
    std::string path;                       // where the bundle lies
    std::optional<std::string> displayName; // CFBundleDisplayName
    std::optional<std::string> name;        // CFBundleName
    std::optional<std::string> executable;  // CFBundleExecutable
};

// Workspace notifications, delivered on the main thread.
class WorkspaceObserver {
  public:
    virtual ~WorkspaceObserver() = default;
    virtual void applicationLaunched(pid_t pid) = 0;
    virtual void applicationTerminated(pid_t pid) = 0;
    virtual void activeSpaceChanged() = 0;
};

class WorkspacePort {
  public:
    virtual ~WorkspacePort() = default;

    // In the workspace's own order.
    virtual std::vector<RunningApplicationRef> runningApplications() = 0;
    // Null when no running application has that process.
    virtual RunningApplicationRef runningApplicationWithProcessIdentifier(pid_t pid) = 0;
    // Process identifiers of the running applications, frontmost first; empty when the
    // desktop cannot say.
    virtual std::vector<pid_t> processesInFrontToBackOrder() = 0;

    virtual void addObserver(WorkspaceObserver* observer) = 0;
    virtual void removeObserver(WorkspaceObserver* observer) = 0;

    // Starts (or, for a running application, re-opens) the executable at the path. Programs
    // are started without a shell, with arguments passed as they are.
    virtual bool launchApplication(const std::string& executablePath, uint32_t options) = 0;
    // Opens one file with the application at the given executable path, or with the file's
    // default application when the path is empty.
    virtual bool openFile(const std::string& path, const std::string& applicationPath) = 0;
    // Shows the file selected in the file viewer.
    virtual bool revealFile(const std::string& path) = 0;

    virtual std::optional<ApplicationBundleInfo>
    bundleInfoForIdentifier(const std::string& bundleIdentifier) = 0;
};

} // namespace velora
