#pragma once
// A running application of the X11 desktop: a process that owns managed windows. Its
// identity (bundle identifier, name, locations) is settled when it is first seen; its state
// (hidden, active) is read from the cache; its actions are requests to the manager for its
// windows. After its last window has gone it is terminated: every action is refused and the
// queries answer as of that moment.

#include <sys/types.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/linux/app_identity.h"
#include "platform/linux/theme_icon_slot.h"
#include "platform/workspace.h"

namespace velora::x11 {

struct X11Context;

class X11RunningApplication final : public RunningApplication {
  public:
    X11RunningApplication(std::weak_ptr<X11Context> context, pid_t pid, AppIdentity identity);

    pid_t processIdentifier() const override { return pid_; }
    std::string bundleIdentifier() const override { return identity_.bundleIdentifier; }
    std::string localizedName() const override { return identity_.name; }
    // _NET_WM_ICON of its windows, else the theme icon of its desktop entry; an empty image
    // (never null) when there is none. The theme icon is looked up on the main thread; another
    // thread waits a little for that lookup, and gets an empty image (not kept) when the main
    // thread is busy, rather than block it.
    ImageRef icon() const override;
    // Looks up the theme icon now. Main thread only; queued there when the application is seen.
    void resolveThemeIcon() const { theme_.resolve(); }
    std::string bundlePath() const override { return identity_.bundlePath; }
    std::string executablePath() const override { return executable_; }

    bool isHidden() const override;
    bool isActive() const override;
    bool isFinishedLaunching() const override { return true; } // it has mapped a managed window
    bool isTerminated() const override { return terminated_.load(); }

    // Activates its most recent window; with kActivateAllWindows its other windows are raised
    // first, below that one. A hidden application is unhidden.
    bool activateWithOptions(uint32_t options) override;
    // Minimises all of its windows, remembering which, for unhide.
    bool hide() override;
    bool unhide() override;
    // WM_DELETE_WINDOW to each window that takes it; SIGTERM when none does.
    bool terminate() override;
    // SIGKILL.
    bool forceTerminate() override;

    void markTerminated() { terminated_.store(true); }

  private:
    std::shared_ptr<X11Context> live() const;

    const std::weak_ptr<X11Context> context_;
    const pid_t pid_;
    const AppIdentity identity_;
    const std::string executable_;
    std::atomic<bool> terminated_{false};
    ImageRef netWmIcon() const;

    mutable std::mutex iconMutex_;
    mutable ImageRef icon_; // guarded by iconMutex_
    mutable ThemeIconSlot theme_;
};

} // namespace velora::x11
