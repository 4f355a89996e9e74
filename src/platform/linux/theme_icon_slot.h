#pragma once
// An application's theme icon (theme_icons.h), looked up once on the main thread, where the
// theme lookup works, and read on any thread. The backends queue the lookup on the main
// thread when they first see the application, so the icon is ready when a switch asks.

#include <condition_variable>
#include <mutex>
#include <string>

#include "platform/image.h"

namespace velora {

class ThemeIconSlot {
  public:
    explicit ThemeIconSlot(std::string iconName) : name_(std::move(iconName)) {}

    // Looks the icon up. Main thread; after the first call it does nothing.
    void resolve();
    // The icon (null when the theme has none). On the main thread it is looked up now;
    // elsewhere the lookup queued earlier is waited for, at most a second (the main thread
    // may be waiting for the caller's work): null when it has not come.
    ImageRef get(bool onMainThread);
    bool isResolved() const;

  private:
    const std::string name_;
    mutable std::mutex mutex_;
    std::condition_variable resolvedChanged_;
    bool resolved_ = false; // guarded by mutex_
    ImageRef icon_;         // guarded by mutex_
};

} // namespace velora
