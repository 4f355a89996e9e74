#include "platform/linux/desktop_notifier.h"

#include <algorithm>

#include "platform/ax_names.h"

namespace velora {

namespace {

uint64_t key(const AXElement& e) {
    return (uint64_t(e.kind) << 56) ^ e.id;
}

} // namespace

AXError DesktopObserver::addNotification(const AXElement& element, const std::string& notification) {
    if (element.isNull()) return AXError::IllegalArgument;
    if (notification != ax::WindowCreated && notification != ax::ElementDestroyed)
        return AXError::NotificationUnsupported;
    std::lock_guard lock(mutex_);
    watched_.insert({key(element), notification});
    return AXError::Success;
}

AXError DesktopObserver::removeNotification(const AXElement& element, const std::string& notification) {
    std::lock_guard lock(mutex_);
    watched_.erase({key(element), notification});
    return AXError::Success;
}

void DesktopObserver::scheduleOnMainThread() {
    std::lock_guard lock(mutex_);
    scheduled_ = true;
}

bool DesktopObserver::wants(const AXElement& subject, const std::string& notification) const {
    std::lock_guard lock(mutex_);
    if (!scheduled_) return false;
    const AXElement application{AXElement::Kind::Application, pid_, uint64_t(pid_)};
    return watched_.count({key(subject), notification}) || watched_.count({key(application), notification});
}

void DesktopObserver::deliver(const AXElement& subject, const std::string& notification) {
    if (callback_) callback_(*this, subject, notification);
}

void DesktopNotifier::addObserver(const std::shared_ptr<DesktopObserver>& observer) {
    std::lock_guard lock(mutex_);
    observers_.erase(
        std::remove_if(observers_.begin(), observers_.end(), [](auto& w) { return w.expired(); }),
        observers_.end());
    observers_.push_back(observer);
}

void DesktopNotifier::addWorkspaceObserver(WorkspaceObserver* observer) {
    std::lock_guard lock(mutex_);
    if (std::find(workspaceObservers_.begin(), workspaceObservers_.end(), observer) ==
        workspaceObservers_.end())
        workspaceObservers_.push_back(observer);
}

void DesktopNotifier::removeWorkspaceObserver(WorkspaceObserver* observer) {
    std::lock_guard lock(mutex_);
    auto& v = workspaceObservers_;
    v.erase(std::remove(v.begin(), v.end(), observer), v.end());
}

void DesktopNotifier::post(const AXElement& subject, const std::string& notification) {
    std::vector<std::weak_ptr<DesktopObserver>> targets;
    {
        std::lock_guard lock(mutex_);
        if (stopped_) return;
        for (auto& weak : observers_) {
            auto o = weak.lock();
            if (o && o->pid() == subject.pid && o->wants(subject, notification)) targets.push_back(o);
        }
    }
    if (targets.empty()) return;
    std::weak_ptr<DesktopNotifier> self = weak_from_this();
    mainThread_.performAsync([self, targets, subject, notification] {
        auto notifier = self.lock();
        if (!notifier) return;
        {
            std::lock_guard lock(notifier->mutex_);
            if (notifier->stopped_) return;
        }
        for (auto& weak : targets)
            if (auto o = weak.lock()) o->deliver(subject, notification);
    });
}

void DesktopNotifier::windowCreated(pid_t pid, uint32_t window) {
    post(AXElement{AXElement::Kind::Window, pid, window}, ax::WindowCreated);
}

void DesktopNotifier::windowDestroyed(pid_t pid, uint32_t window) {
    post(AXElement{AXElement::Kind::Window, pid, window}, ax::ElementDestroyed);
}

template <typename F> void DesktopNotifier::toWorkspaceObservers(F call) {
    {
        std::lock_guard lock(mutex_);
        if (stopped_ || workspaceObservers_.empty()) return;
    }
    std::weak_ptr<DesktopNotifier> self = weak_from_this();
    mainThread_.performAsync([self, call] {
        auto notifier = self.lock();
        if (!notifier) return;
        std::vector<WorkspaceObserver*> observers;
        {
            std::lock_guard lock(notifier->mutex_);
            if (notifier->stopped_) return;
            observers = notifier->workspaceObservers_;
        }
        for (WorkspaceObserver* o : observers) {
            // An observer removed by an earlier one in this round is not called.
            {
                std::lock_guard lock(notifier->mutex_);
                auto& now = notifier->workspaceObservers_;
                if (std::find(now.begin(), now.end(), o) == now.end()) continue;
            }
            call(o);
        }
    });
}

void DesktopNotifier::applicationLaunched(pid_t pid) {
    toWorkspaceObservers([pid](WorkspaceObserver* o) { o->applicationLaunched(pid); });
}

void DesktopNotifier::applicationTerminated(pid_t pid) {
    toWorkspaceObservers([pid](WorkspaceObserver* o) { o->applicationTerminated(pid); });
}

void DesktopNotifier::activeSpaceChanged() {
    toWorkspaceObservers([](WorkspaceObserver* o) { o->activeSpaceChanged(); });
}

void DesktopNotifier::stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
}

} // namespace velora
