#pragma once
// Notifications of a desktop backend (X11, Wayland), delivered on the main thread:
// accessibility observers ("AXWindowCreated", "AXUIElementDestroyed") and workspace observers
// (launched, terminated, active space). The event thread announces; the main thread delivers
// to the observers that are still registered when the work runs there.

#include <sys/types.h>

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/accessibility.h"
#include "platform/main_thread.h"
#include "platform/workspace.h"

namespace velora {

class DesktopObserver final : public AXObserver {
  public:
    DesktopObserver(pid_t pid, AXObserverCallback callback) : pid_(pid), callback_(std::move(callback)) {}

    pid_t pid() const override { return pid_; }
    AXError addNotification(const AXElement& element, const std::string& notification) override;
    AXError removeNotification(const AXElement& element, const std::string& notification) override;
    void scheduleOnMainThread() override;

    // Whether a notification about `subject` reaches this observer: it watches the
    // notification on the subject itself or on the application element (which stands for
    // everything of the application).
    bool wants(const AXElement& subject, const std::string& notification) const;
    void deliver(const AXElement& subject, const std::string& notification);

  private:
    pid_t pid_;
    AXObserverCallback callback_;
    mutable std::mutex mutex_;
    std::set<std::pair<uint64_t, std::string>> watched_; // (element kind and id, notification)
    bool scheduled_ = false;
};

class DesktopNotifier : public std::enable_shared_from_this<DesktopNotifier> {
  public:
    explicit DesktopNotifier(MainThreadPort& mainThread) : mainThread_(mainThread) {}

    void addObserver(const std::shared_ptr<DesktopObserver>& observer);
    void addWorkspaceObserver(WorkspaceObserver* observer);
    void removeWorkspaceObserver(WorkspaceObserver* observer);

    void windowCreated(pid_t pid, uint32_t window);
    void windowDestroyed(pid_t pid, uint32_t window);
    void applicationLaunched(pid_t pid);
    void applicationTerminated(pid_t pid);
    void activeSpaceChanged();
    // Nothing is delivered any more.
    void stop();

  private:
    void post(const AXElement& subject, const std::string& notification);
    template <typename F> void toWorkspaceObservers(F call);

    MainThreadPort& mainThread_;
    mutable std::mutex mutex_;
    std::vector<std::weak_ptr<DesktopObserver>> observers_;
    std::vector<WorkspaceObserver*> workspaceObservers_;
    bool stopped_ = false;
};

} // namespace velora
