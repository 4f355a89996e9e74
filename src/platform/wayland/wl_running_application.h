#pragma once
// A running application of the Wayland desktop: a process (as the compositor's IPC tells it)
// that owns toplevels, or, without the IPC, the toplevels of one app_id (no process: force
// quit fails). Its identity comes from the desktop entry its app_id names; its actions
// are requests to the compositor for its windows. After its last window has gone it is
// terminated: every action is refused and the queries answer as of that moment.

#include <sys/types.h>

#include <atomic>
#include <memory>

#include "platform/linux/app_identity.h"
#include "platform/linux/theme_icon_slot.h"
#include "platform/workspace.h"

namespace velora::wl {

struct WlContext;

class WlRunningApplication final : public RunningApplication {
  public:
    WlRunningApplication(std::weak_ptr<WlContext> context, pid_t pid, AppIdentity identity);

    pid_t processIdentifier() const override { return pid_; }
    std::string bundleIdentifier() const override { return identity_.bundleIdentifier; }
    std::string localizedName() const override { return identity_.name; }
    // The theme icon of its desktop entry (or of its app_id); an empty image (never null) when
    // there is none. Looked up on the main thread (resolveThemeIcon, queued when the
    // application is seen); another thread waits a little for it.
    ImageRef icon() const override;
    void resolveThemeIcon() const { theme_.resolve(); }
    std::string bundlePath() const override { return identity_.bundlePath; }
    std::string executablePath() const override { return executable_; }

    // Hidden: every window minimised (sway has no minimised state, so never there).
    bool isHidden() const override;
    bool isActive() const override;
    bool isFinishedLaunching() const override { return true; }
    bool isTerminated() const override { return terminated_.load(); }

    // Activates its most recent window.
    bool activateWithOptions(uint32_t options) override;
    // Minimises each window through the compositor (which may ignore it).
    bool hide() override;
    bool unhide() override;
    // Asks each window to close, so that the application may ask to save.
    bool terminate() override;
    // SIGKILL; false without a process.
    bool forceTerminate() override;

    void markTerminated() { terminated_.store(true); }

  private:
    std::shared_ptr<WlContext> live() const;

    const std::weak_ptr<WlContext> context_;
    const pid_t pid_;
    const AppIdentity identity_;
    const std::string executable_;
    std::atomic<bool> terminated_{false};
    mutable ThemeIconSlot theme_;
};

} // namespace velora::wl
