#include "platform/x11/x11_context.h"

#include <string>

#include "platform/trace.h"
#include "platform/x11/x11_running_application.h"

namespace velora::x11 {

std::shared_ptr<X11RunningApplication> AppRegistry::find(pid_t pid) const {
    std::lock_guard lock(mutex_);
    auto it = apps_.find(pid);
    return it == apps_.end() ? nullptr : it->second;
}

void AppRegistry::insert(pid_t pid, std::shared_ptr<X11RunningApplication> app) {
    std::lock_guard lock(mutex_);
    apps_[pid] = std::move(app);
}

std::shared_ptr<X11RunningApplication> AppRegistry::remove(pid_t pid) {
    std::shared_ptr<X11RunningApplication> app;
    {
        std::lock_guard lock(mutex_);
        auto it = apps_.find(pid);
        if (it == apps_.end()) return nullptr;
        app = std::move(it->second);
        apps_.erase(it);
    }
    app->markTerminated();
    return app;
}

std::vector<pid_t> AppRegistry::pids() const {
    std::lock_guard lock(mutex_);
    std::vector<pid_t> out;
    for (const auto& [pid, app] : apps_)
        out.push_back(pid);
    return out;
}

void AppRegistry::clear() {
    std::map<pid_t, std::shared_ptr<X11RunningApplication>> gone;
    {
        std::lock_guard lock(mutex_);
        gone.swap(apps_);
    }
    for (auto& [pid, app] : gone)
        app->markTerminated();
}

X11Context::X11Context(xcb_connection_t* connection, xcb_screen_t* s, MainThreadPort& main)
    : c(connection), screen(s), root(s->root), mainThread(main), cache([&main] { return main.now(); }),
      actions(connection, atoms, s->root), responsiveness(actions, [&main] { return main.now(); }),
      keyboard(connection), grabs(connection, s->root), taps(grabs, [this] { return actions.userTime(); }),
      pictures(connection, s->root), notifier(std::make_shared<DesktopNotifier>(main)) {}

X11Context::~X11Context() {
    notifier->stop();
    apps.clear();
    pictures.clear();
    xcb_disconnect(c);
}

std::vector<xcb_window_t> X11Context::pingableWindowsOf(pid_t pid) const {
    std::vector<xcb_window_t> out;
    for (const ClientInfo& info : cache.clientsOf(pid))
        if (info.ping) out.push_back(info.window);
    return out;
}

void X11Context::activateWindow(xcb_window_t window) {
    auto info = cache.client(window);
    if (!info) return;
    const bool takesFocus = info->takesFocus();
    cache.noteActivationRequest(window, takesFocus);
    watchRequestLapse();
    actions.activate(window);
    if (trace::enabled()) trace::mark(("activate:" + std::to_string(window)).c_str());
    // A window that refuses the focus is raised by the manager at best; ask for it.
    if (!takesFocus) raiseWindow(window);
}

void X11Context::watchRequestLapse() {
    mainThread.scheduleTimer(DesktopCache::kRequestStandsSeconds, [weak = weak_from_this()] {
        if (auto x = weak.lock(); x && x->cache.lapseRequest()) x->mainThread.wakeSleepers();
    });
}

void X11Context::raiseWindow(xcb_window_t window) {
    actions.raise(window, cache.root().supports(atoms._NET_RESTACK_WINDOW));
}

} // namespace velora::x11
