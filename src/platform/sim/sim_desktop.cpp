#include "platform/sim/sim_desktop.h"

#include <algorithm>
#include <chrono>

#include "platform/sim/sim_state.h"

namespace velora::sim {

AXElement windowElement(const WindowState& w) {
    return AXElement{AXElement::Kind::Window, w.pid, w.number};
}

AXElement applicationElement(pid_t pid) {
    return AXElement{AXElement::Kind::Application, pid, uint64_t(pid)};
}

// --- State helpers

void SimDesktop::State::record(std::string kind, pid_t pid, uint32_t window, std::string detail) {
    calls.push_back(Call{std::move(kind), pid, window, std::move(detail)});
}

AppState* SimDesktop::State::liveApp(pid_t pid) {
    auto it = apps.find(pid);
    return it == apps.end() || it->second.terminated ? nullptr : &it->second;
}

WindowState* SimDesktop::State::liveWindow(uint32_t number) {
    auto it = windows.find(number);
    return it == windows.end() || it->second.destroyed ? nullptr : &it->second;
}

Rect SimDesktop::State::serverBounds(const WindowState& w) const {
    if (w.spec.serverBounds) return *w.spec.serverBounds;
    return Rect{w.spec.position.x, w.spec.position.y, w.spec.size.width, w.spec.size.height};
}

bool SimDesktop::State::isOnscreen(const WindowState& w) const {
    auto it = apps.find(w.pid);
    bool hidden = it != apps.end() && it->second.spec.hidden;
    return !w.destroyed && !w.spec.minimized && !hidden &&
           (w.spec.space == currentSpace || w.spec.space == 0);
}

void SimDesktop::State::bringToFront(uint32_t number) {
    auto it = std::find(stacking.begin(), stacking.end(), number);
    if (it != stacking.end()) stacking.erase(it);
    stacking.insert(stacking.begin(), number);
}

void SimDesktop::State::focus(uint32_t number) {
    WindowState* w = liveWindow(number);
    if (!w) return;
    bringToFront(number);
    focused = number;
    active = w->pid;
    auto it = std::find(appOrder.begin(), appOrder.end(), w->pid);
    if (it != appOrder.end()) appOrder.erase(it);
    appOrder.insert(appOrder.begin(), w->pid);
}

void SimDesktop::State::activate(pid_t pid, bool allWindows) {
    AppState* a = liveApp(pid);
    if (!a) return;
    a->spec.hidden = false;
    std::vector<uint32_t> own;
    for (uint32_t n : stacking)
        if (windows[n].pid == pid && !windows[n].spec.minimized) own.push_back(n);
    if (allWindows)
        for (auto it = own.rbegin(); it != own.rend(); ++it)
            bringToFront(*it);
    if (!own.empty()) {
        focus(own.front());
    } else {
        focused = 0;
        active = pid;
        auto it = std::find(appOrder.begin(), appOrder.end(), pid);
        if (it != appOrder.end()) appOrder.erase(it);
        appOrder.insert(appOrder.begin(), pid);
    }
}

void SimDesktop::State::passActivation() {
    for (pid_t p : appOrder) {
        AppState* a = liveApp(p);
        if (a && !a->spec.hidden && p != active) {
            activate(p, false);
            return;
        }
    }
    active = 0;
    focused = 0;
}

std::vector<std::function<void()>> SimDesktop::State::destroy(uint32_t number) {
    WindowState* w = liveWindow(number);
    if (!w) return {};
    w->destroyed = true;
    stacking.erase(std::remove(stacking.begin(), stacking.end(), number), stacking.end());
    if (focused == number) {
        focused = 0;
        for (uint32_t n : stacking)
            if (windows[n].pid == w->pid && !windows[n].spec.minimized) {
                focused = n;
                break;
            }
    }
    return notifyObservers(w->pid, windowElement(*w), "AXUIElementDestroyed");
}

std::vector<std::function<void()>> SimDesktop::State::terminate(pid_t pid) {
    AppState* a = liveApp(pid);
    if (!a) return {};
    std::vector<std::function<void()>> out;
    for (auto& [n, w] : windows)
        if (w.pid == pid && !w.destroyed) {
            auto more = destroy(n);
            out.insert(out.end(), more.begin(), more.end());
        }
    a->terminated = true;
    appOrder.erase(std::remove(appOrder.begin(), appOrder.end(), pid), appOrder.end());
    if (active == pid) {
        active = 0;
        passActivation();
    }
    auto more = notifyWorkspace([pid](WorkspaceObserver& o) { o.applicationTerminated(pid); });
    out.insert(out.end(), more.begin(), more.end());
    return out;
}

std::vector<std::function<void()>>
SimDesktop::State::notifyWorkspace(const std::function<void(WorkspaceObserver&)>& event) {
    std::vector<std::function<void()>> out;
    for (WorkspaceObserver* o : workspaceObservers) {
        State* self = this;
        out.push_back([self, o, event] {
            self->post([self, o, event] {
                // The observer may have gone in the meantime.
                bool present;
                {
                    std::lock_guard lock(self->mutex);
                    present = std::find(self->workspaceObservers.begin(), self->workspaceObservers.end(),
                                        o) != self->workspaceObservers.end();
                }
                if (present) event(*o);
            });
        });
    }
    return out;
}

void SimDesktop::State::run(const std::vector<std::function<void()>>& work) {
    for (auto& w : work)
        w();
}

void SimDesktop::State::post(std::function<void()> work) {
    {
        std::lock_guard lock(clockMutex);
        mainQueue.push_back(std::move(work));
    }
    clockChanged.notify_all();
}

// --- SimDesktop

SimDesktop::SimDesktop() : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.mainThreadId = std::this_thread::get_id();
    s.layout = makeUSLayout();
    s.accessibility = makeAccessibility(s);
    s.windowServer = makeWindowServer(s);
    s.workspace = makeWorkspace(s);
    s.input = makeInput(s);
    s.mainThread = makeMainThread(s);
    s.loginItemsPort = makeLoginItems(s);
    s.scripting = makeScripting(s);
    s.httpPort = makeHttp(s);
    s.sound = makeSound(s);
    s.platform = Platform{s.accessibility.get(),  s.windowServer.get(),
                          s.workspace.get(),      s.input.get(),
                          s.loginItemsPort.get(), s.scripting.get(),
                          s.mainThread.get(),     s.httpPort.get(),
                          s.sound.get(),          nullptr}; // no panel surface: the panel is a Qt window here
}

SimDesktop::~SimDesktop() {
    shutdown();
    if (hasPlatform() && &platform() == &state_->platform) installPlatform(nullptr);
}

const Platform& SimDesktop::ports() const {
    return state_->platform;
}

void SimDesktop::install() {
    installPlatform(&state_->platform);
}

void SimDesktop::shutdown() {
    state_->shuttingDown = true;
    { std::lock_guard lock(state_->clockMutex); }
    state_->clockChanged.notify_all();
    { std::lock_guard lock(state_->mutex); }
    state_->tapChanged.notify_all();
}

pid_t SimDesktop::addApplication(const ApplicationSpec& spec) {
    std::lock_guard lock(state_->mutex);
    State& s = *state_;
    pid_t pid = s.nextPid++;
    s.apps[pid] = AppState{pid, spec, false};
    s.launchOrder.push_back(pid);
    s.appOrder.push_back(pid);
    if (!spec.bundleIdentifier.empty() && !s.bundles.count(spec.bundleIdentifier)) {
        ApplicationBundleInfo info;
        info.path = spec.bundlePath.empty() ? "/usr/share/applications/" + spec.bundleIdentifier + ".desktop"
                                            : spec.bundlePath;
        info.name = spec.name;
        s.bundles[spec.bundleIdentifier] = info;
    }
    return pid;
}

pid_t SimDesktop::launchApplication(const ApplicationSpec& spec) {
    pid_t pid = addApplication(spec);
    std::vector<std::function<void()>> work;
    {
        std::lock_guard lock(state_->mutex);
        work = state_->notifyWorkspace([pid](WorkspaceObserver& o) { o.applicationLaunched(pid); });
    }
    State::run(work);
    return pid;
}

void SimDesktop::terminateApplication(pid_t pid) {
    std::vector<std::function<void()>> work;
    {
        std::lock_guard lock(state_->mutex);
        work = state_->terminate(pid);
    }
    State::run(work);
}

void SimDesktop::setApplicationHung(pid_t pid, bool hung) {
    std::lock_guard lock(state_->mutex);
    if (AppState* a = state_->liveApp(pid)) a->spec.hung = hung;
}

void SimDesktop::setApplicationHidden(pid_t pid, bool hidden) {
    std::lock_guard lock(state_->mutex);
    if (AppState* a = state_->liveApp(pid)) {
        a->spec.hidden = hidden;
        if (hidden && state_->active == pid) state_->passActivation();
    }
}

bool SimDesktop::isApplicationRunning(pid_t pid) const {
    std::lock_guard lock(state_->mutex);
    return state_->liveApp(pid) != nullptr;
}

bool SimDesktop::isApplicationHidden(pid_t pid) const {
    std::lock_guard lock(state_->mutex);
    AppState* a = state_->liveApp(pid);
    return a && a->spec.hidden;
}

uint32_t SimDesktop::addWindow(pid_t pid, const WindowSpec& spec) {
    std::vector<std::function<void()>> work;
    uint32_t number;
    {
        std::lock_guard lock(state_->mutex);
        State& s = *state_;
        number = s.nextWindow++;
        s.windows[number] = WindowState{number, pid, spec, false};
        // New windows open behind the focused one but in front of the rest.
        auto at = s.stacking.empty() ? s.stacking.begin() : s.stacking.begin() + 1;
        if (s.focused == 0) at = s.stacking.begin();
        s.stacking.insert(at, number);
        if (spec.listedInApplication)
            work = s.notifyObservers(pid, windowElement(s.windows[number]), "AXWindowCreated");
    }
    State::run(work);
    return number;
}

void SimDesktop::destroyWindow(uint32_t window) {
    std::vector<std::function<void()>> work;
    {
        std::lock_guard lock(state_->mutex);
        work = state_->destroy(window);
    }
    State::run(work);
}

void SimDesktop::updateWindow(uint32_t window, const std::function<void(WindowSpec&)>& change) {
    std::lock_guard lock(state_->mutex);
    if (WindowState* w = state_->liveWindow(window)) {
        change(w->spec);
        ++w->contentsVersion;
    }
}

WindowSpec SimDesktop::window(uint32_t window) const {
    std::lock_guard lock(state_->mutex);
    auto it = state_->windows.find(window);
    return it == state_->windows.end() ? WindowSpec{} : it->second.spec;
}

bool SimDesktop::windowExists(uint32_t window) const {
    std::lock_guard lock(state_->mutex);
    return state_->liveWindow(window) != nullptr;
}

std::vector<uint32_t> SimDesktop::windowsOf(pid_t pid) const {
    std::lock_guard lock(state_->mutex);
    std::vector<uint32_t> out;
    for (uint32_t n : state_->stacking)
        if (state_->windows[n].pid == pid) out.push_back(n);
    return out;
}

void SimDesktop::focusWindow(uint32_t window) {
    {
        std::lock_guard lock(state_->mutex);
        state_->focus(window);
    }
    wakeOnFocusChange();
}

void SimDesktop::clearFocus() {
    {
        std::lock_guard lock(state_->mutex);
        state_->focused = 0;
        state_->active = 0;
    }
    wakeOnFocusChange();
}

void SimDesktop::setReportsFocusChanges(bool reports) {
    std::lock_guard lock(state_->mutex);
    state_->reportsFocusChanges = reports;
}

void SimDesktop::wakeOnFocusChange() {
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->reportsFocusChanges) return;
    }
    {
        std::lock_guard clock(state_->clockMutex);
        ++state_->wakes;
    }
    state_->clockChanged.notify_all();
}

uint32_t SimDesktop::focusedWindow() const {
    std::lock_guard lock(state_->mutex);
    return state_->focused;
}

std::vector<uint32_t> SimDesktop::stackingOrder() const {
    std::lock_guard lock(state_->mutex);
    return state_->stacking;
}

void SimDesktop::setCurrentSpace(int32_t space) {
    std::vector<std::function<void()>> work;
    {
        std::lock_guard lock(state_->mutex);
        state_->currentSpace = space;
        work = state_->notifyWorkspace([](WorkspaceObserver& o) { o.activeSpaceChanged(); });
    }
    State::run(work);
}

int32_t SimDesktop::currentSpace() const {
    std::lock_guard lock(state_->mutex);
    return state_->currentSpace;
}

void SimDesktop::setCaptureHook(std::function<void(uint32_t)> hook) {
    std::lock_guard lock(state_->mutex);
    state_->captureHook = std::move(hook);
}

void SimDesktop::setAccessibilityEnabled(bool enabled) {
    std::lock_guard lock(state_->mutex);
    state_->axEnabled = enabled;
}

void SimDesktop::setModifierFlags(uint64_t flags) {
    std::lock_guard lock(state_->mutex);
    state_->modifierFlags = flags;
}

uint64_t SimDesktop::modifierFlags() const {
    std::lock_guard lock(state_->mutex);
    return state_->modifierFlags;
}

uint64_t SimDesktop::modifierFlagReads() const {
    std::lock_guard lock(state_->mutex);
    return state_->modifierReads;
}

std::vector<DeliveredKey> SimDesktop::deliveredKeys() const {
    std::lock_guard lock(state_->mutex);
    return state_->delivered;
}

std::vector<InterceptedKey> SimDesktop::interceptedKeys() const {
    std::lock_guard lock(state_->mutex);
    return state_->intercepted;
}

void SimDesktop::setKeyboardLayout(std::shared_ptr<const KeyboardLayout> layout) {
    std::lock_guard lock(state_->mutex);
    state_->layout = std::move(layout);
}

std::vector<Call> SimDesktop::calls() const {
    std::lock_guard lock(state_->mutex);
    return state_->calls;
}

int SimDesktop::countCalls(const std::string& kind) const {
    std::lock_guard lock(state_->mutex);
    return int(std::count_if(state_->calls.begin(), state_->calls.end(),
                             [&](const Call& c) { return c.kind == kind; }));
}

void SimDesktop::clearCalls() {
    std::lock_guard lock(state_->mutex);
    state_->calls.clear();
}

int SimDesktop::beeps() const {
    return countCalls("beep");
}

std::vector<LoginItem> SimDesktop::loginItemList() const {
    std::lock_guard lock(state_->mutex);
    return state_->loginItems;
}

void SimDesktop::addLoginItem(const std::string& id, std::optional<std::string> resolved) {
    std::lock_guard lock(state_->mutex);
    state_->loginItems.push_back(LoginItem{id, std::move(resolved)});
}

} // namespace velora::sim
