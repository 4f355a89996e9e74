#pragma once
// VLObserver: the holder of one accessibility observer per watched application process.
// The window list keeps one holder per process; dropping the holder releases the observer
// and ends its notifications.

#include <sys/types.h>

#include <atomic>
#include <memory>
#include <string>

#include "platform/accessibility.h"

namespace velora {

class VLWindowManager;

class VLObserver {
  public:
    // A holder whose observer reports the process's notifications to `manager` (the
    // observer's user data; a manager that has gone is not called). Null when no observer
    // can be made for the process.
    static std::shared_ptr<VLObserver> observerWithPid(pid_t pid, std::weak_ptr<VLWindowManager> manager);

    VLObserver(pid_t pid, std::shared_ptr<AXObserver> observer);
    VLObserver(const VLObserver&) = delete;
    VLObserver& operator=(const VLObserver&) = delete;

    const std::shared_ptr<AXObserver>& observer() const { return observer_; }
    pid_t pid() const { return pid_.load(std::memory_order_relaxed); }
    void setPid(pid_t pid) { pid_.store(pid, std::memory_order_relaxed); }
    // Whether this holder watches the process.
    bool isEqualTo(pid_t pid) const { return this->pid() == pid; }

  private:
    const std::shared_ptr<AXObserver> observer_;
    std::atomic<pid_t> pid_;
};

// What the observers do with a notification, on the thread that delivers it (the main
// thread): a created window is placed at the bottom of the list; a destroyed element whose
// role still reads "AXWindow" is removed. Any other notification is ignored.
void windowNotificationCallback(VLWindowManager& manager, const AXElement& element,
                                const std::string& notification);

} // namespace velora
