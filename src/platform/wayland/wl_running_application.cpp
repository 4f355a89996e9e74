#include "platform/wayland/wl_running_application.h"

#include <signal.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "platform/wayland/wl_context.h"
#include "platform/wayland/wl_session.h"

namespace velora::wl {

namespace {

std::string executableOf(pid_t pid) {
    if (WindowTable::isAppIdPid(pid)) return {}; // no process is known
    char buffer[PATH_MAX] = {};
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, std::size_t(n)) : std::string();
}

} // namespace

WlRunningApplication::WlRunningApplication(std::weak_ptr<WlContext> context, pid_t pid, AppIdentity identity)
    : context_(std::move(context)), pid_(pid), identity_(std::move(identity)), executable_(executableOf(pid)),
      theme_(identity_.iconName) {}

std::shared_ptr<WlContext> WlRunningApplication::live() const {
    if (terminated_.load()) return nullptr;
    auto context = context_.lock();
    if (!context || context->lost.load() || !context->session) return nullptr;
    return context;
}

ImageRef WlRunningApplication::icon() const {
    auto context = context_.lock();
    ImageRef found = theme_.get(context && context->mainThread.isMainThread());
    return found ? found : std::make_shared<Image>();
}

bool WlRunningApplication::isHidden() const {
    auto context = live();
    if (!context) return false;
    const auto windows = context->table.windowsOf(pid_);
    if (windows.empty()) return false;
    for (const WlWindow& w : windows)
        if (!w.minimized) return false;
    return true;
}

bool WlRunningApplication::isActive() const {
    auto context = live();
    return context && context->table.activePid() == pid_;
}

bool WlRunningApplication::activateWithOptions(uint32_t) {
    auto context = live();
    if (!context) return false;
    const auto windows = context->table.windowsOf(pid_);
    if (windows.empty()) return false;
    context->session->activate(windows.front().number); // the most recent one
    return true;
}

bool WlRunningApplication::hide() {
    auto context = live();
    if (!context) return false;
    if (!context->canMinimize) {
        context->noteCannotMinimize();
        return false;
    }
    for (const WlWindow& w : context->table.windowsOf(pid_))
        context->session->setMinimized(w.number, true);
    return true;
}

bool WlRunningApplication::unhide() {
    auto context = live();
    if (!context) return false;
    for (const WlWindow& w : context->table.windowsOf(pid_))
        if (w.minimized) context->session->setMinimized(w.number, false);
    return true;
}

bool WlRunningApplication::terminate() {
    auto context = live();
    if (!context) return false;
    const auto windows = context->table.windowsOf(pid_);
    if (windows.empty()) return !WindowTable::isAppIdPid(pid_) && ::kill(pid_, SIGTERM) == 0;
    for (const WlWindow& w : windows)
        context->session->close(w.number);
    return true;
}

bool WlRunningApplication::forceTerminate() {
    auto context = live();
    if (!context) return false;
    if (WindowTable::isAppIdPid(pid_)) {
        context->noteCannotForceQuit();
        return false;
    }
    return ::kill(pid_, SIGKILL) == 0;
}

} // namespace velora::wl
