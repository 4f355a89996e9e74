#include "platform/x11/x11_running_application.h"

#include <signal.h>

#include <algorithm>

#include "platform/x11/x11_context.h"
#include "platform/x11/x11_icons.h"
#include "platform/x11/x11_process.h"
#include "platform/x11/x11_properties.h"

namespace velora::x11 {

X11RunningApplication::X11RunningApplication(std::weak_ptr<X11Context> context, pid_t pid,
                                             AppIdentity identity)
    : context_(std::move(context)), pid_(pid), identity_(std::move(identity)),
      executable_(x11::executablePath(pid)), theme_(identity_.iconName) {}

std::shared_ptr<X11Context> X11RunningApplication::live() const {
    if (terminated_.load()) return nullptr;
    auto context = context_.lock();
    if (!context || context->lost.load()) return nullptr;
    return context;
}

ImageRef X11RunningApplication::icon() const {
    {
        std::lock_guard lock(iconMutex_);
        if (icon_) return icon_;
    }
    ImageRef found = netWmIcon();
    if (!found) {
        auto context = context_.lock();
        found = theme_.get(context && context->mainThread.isMainThread());
    }
    if (!found) {
        if (!theme_.isResolved()) return std::make_shared<Image>(); // asked again later
        found = std::make_shared<Image>();
    }
    std::lock_guard lock(iconMutex_);
    if (!icon_) icon_ = std::move(found);
    return icon_;
}

ImageRef X11RunningApplication::netWmIcon() const {
    auto context = context_.lock();
    if (!context || context->lost.load()) return nullptr;
    for (const ClientInfo& info : context->cache.clientsOf(pid_)) {
        auto reply = takeProperty(
            context->c, requestProperty(context->c, info.window, context->atoms._NET_WM_ICON, kMaxIconUnits));
        if (ImageRef image = iconFromNetWmIcon(values32(reply.get()))) return image;
    }
    return nullptr;
}

bool X11RunningApplication::isHidden() const {
    auto context = live();
    return context && context->cache.isHidden(pid_);
}

bool X11RunningApplication::isActive() const {
    auto context = live();
    return context && context->cache.activePid() == pid_;
}

bool X11RunningApplication::activateWithOptions(uint32_t options) {
    auto context = live();
    if (!context) return false;
    if (context->cache.isHidden(pid_)) unhide();
    const std::vector<ClientInfo> windows = context->cache.clientsOf(pid_);
    if (windows.empty()) return false;
    const xcb_window_t target = context->cache.mostRecentWindowOf(pid_);
    if (options & kActivateAllWindows) {
        // Back to front, so that they keep their order among themselves.
        for (auto it = windows.rbegin(); it != windows.rend(); ++it)
            if (it->window != target && !context->cache.isMinimized(*it)) context->raiseWindow(it->window);
    }
    context->activateWindow(target);
    return true;
}

bool X11RunningApplication::hide() {
    auto context = live();
    if (!context) return false;
    const std::vector<ClientInfo> windows = context->cache.clientsOf(pid_);
    if (windows.empty()) return false;
    std::vector<xcb_window_t> minimised;
    for (const ClientInfo& info : windows) {
        if (context->cache.isMinimized(info)) continue;
        context->actions.minimize(info.window);
        minimised.push_back(info.window);
    }
    if (!minimised.empty()) context->cache.noteHidden(pid_, std::move(minimised));
    return true;
}

bool X11RunningApplication::unhide() {
    auto context = live();
    if (!context) return false;
    for (xcb_window_t window : context->cache.takeHidden(pid_)) {
        auto info = context->cache.client(window);
        if (info && context->cache.isMinimized(*info)) context->actions.restore(window);
    }
    return true;
}

bool X11RunningApplication::terminate() {
    auto context = live();
    if (!context) return false;
    bool asked = false;
    for (const ClientInfo& info : context->cache.clientsOf(pid_)) {
        if (!info.deleteWindow) continue;
        context->actions.deleteWindow(info.window);
        asked = true;
    }
    if (!asked) return ::kill(pid_, SIGTERM) == 0;
    return true;
}

bool X11RunningApplication::forceTerminate() {
    if (!live()) return false;
    return ::kill(pid_, SIGKILL) == 0;
}

} // namespace velora::x11
