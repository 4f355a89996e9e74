#include "platform/wayland/wl_window_table.h"

#include <algorithm>
#include <set>

namespace velora::wl {

namespace {
// The nominal size of a window whose rectangle the compositor does not tell.
constexpr double kNominalWidth = 800, kNominalHeight = 600;
} // namespace

uint32_t WindowTable::add() {
    std::lock_guard lock(mutex_);
    WlWindow window;
    window.number = next_++;
    windows_.push_back(window);
    return window.number;
}

void WindowTable::update(uint32_t number, const std::string& appId, const std::string& title, bool activated,
                         bool minimized, bool maximized, bool fullscreen) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(windows_.begin(), windows_.end(),
                           [number](const WlWindow& w) { return w.number == number; });
    if (it == windows_.end()) return;
    const bool becameActive = activated && !it->activated;
    if (it->activated != activated) ++focusChanges_;
    it->appId = appId;
    it->title = title;
    it->activated = activated;
    it->minimized = minimized;
    it->maximized = maximized;
    it->fullscreen = fullscreen;
    if (becameActive) std::rotate(windows_.begin(), it, it + 1);
}

void WindowTable::promote(uint32_t number) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(windows_.begin(), windows_.end(),
                           [number](const WlWindow& w) { return w.number == number; });
    if (it != windows_.end()) std::rotate(windows_.begin(), it, it + 1);
}

WindowTable::Changes WindowTable::remove(uint32_t number) {
    std::lock_guard lock(mutex_);
    const std::vector<WlWindow> before = windows_;
    std::erase_if(windows_, [number](const WlWindow& w) { return w.number == number; });
    return diff(before);
}

WindowTable::Changes WindowTable::applyViews(const std::vector<SwayView>& views) {
    std::lock_guard lock(mutex_);
    const std::vector<WlWindow> before = windows_;
    std::vector<bool> used(views.size(), false);
    std::vector<const SwayView*> match(windows_.size(), nullptr);
    // First the same app_id and title, then (a title that changed since) the same app_id.
    // Windows are visited oldest first, so equal windows pair in the order they were made.
    std::vector<std::size_t> byAge(windows_.size());
    for (std::size_t i = 0; i < byAge.size(); ++i)
        byAge[i] = i;
    std::sort(byAge.begin(), byAge.end(),
              [this](std::size_t a, std::size_t b) { return windows_[a].number < windows_[b].number; });
    for (bool sameTitle : {true, false})
        for (std::size_t i : byAge) {
            if (match[i]) continue;
            const WlWindow& w = windows_[i];
            // A window already paired by its con id keeps its view whatever its title says.
            for (std::size_t v = 0; v < views.size(); ++v) {
                if (used[v] || views[v].appId != w.appId) continue;
                const bool same =
                    w.conId != 0 ? views[v].conId == w.conId : (!sameTitle || views[v].title == w.title);
                if (!same) continue;
                used[v] = true;
                match[i] = &views[v];
                break;
            }
        }
    for (std::size_t i = 0; i < windows_.size(); ++i) {
        WlWindow& w = windows_[i];
        if (!match[i]) continue;
        w.conId = match[i]->conId;
        w.pid = match[i]->pid;
        w.bounds = match[i]->rect;
        w.workspace = match[i]->workspace;
        w.visible = match[i]->visible;
    }
    Changes changes = diff(before);
    for (pid_t pid : changes.launched)
        if (std::find(discovered_.begin(), discovered_.end(), pid) == discovered_.end())
            discovered_.push_back(pid);
    // Ended programs leave the order (a pid may come back as another program).
    for (pid_t pid : changes.terminated)
        std::erase(discovered_, pid);
    return changes;
}

WindowTable::Changes WindowTable::groupByAppId() {
    std::lock_guard lock(mutex_);
    const std::vector<WlWindow> before = windows_;
    for (WlWindow& w : windows_) {
        auto [it, made] = appIdPids_.try_emplace(w.appId, nextAppIdPid_);
        if (made) ++nextAppIdPid_;
        w.pid = it->second;
        w.bounds = Rect{double(w.number), 0, kNominalWidth, kNominalHeight};
        w.visible = !w.minimized;
    }
    std::erase_if(appIdPids_, [this](const auto& entry) {
        return std::none_of(windows_.begin(), windows_.end(),
                            [&entry](const WlWindow& w) { return w.appId == entry.first; });
    });
    Changes changes = diff(before);
    for (pid_t pid : changes.launched)
        discovered_.push_back(pid);
    for (pid_t pid : changes.terminated)
        std::erase(discovered_, pid);
    return changes;
}

WindowTable::Changes WindowTable::diff(const std::vector<WlWindow>& before) const {
    Changes changes;
    auto known = [](const std::vector<WlWindow>& list, uint32_t number) {
        return std::any_of(list.begin(), list.end(),
                           [number](const WlWindow& w) { return w.number == number && w.pid > 0; });
    };
    for (const WlWindow& w : windows_)
        if (w.pid > 0 && !known(before, w.number)) changes.created.emplace_back(w.pid, w.number);
    for (const WlWindow& w : before)
        if (w.pid > 0 && !known(windows_, w.number)) changes.destroyed.emplace_back(w.pid, w.number);
    std::set<pid_t> was, is;
    for (const WlWindow& w : before)
        if (w.pid > 0) was.insert(w.pid);
    for (const WlWindow& w : windows_)
        if (w.pid > 0) is.insert(w.pid);
    for (pid_t pid : is)
        if (!was.count(pid)) changes.launched.push_back(pid);
    for (pid_t pid : was)
        if (!is.count(pid)) changes.terminated.push_back(pid);
    return changes;
}

std::optional<WlWindow> WindowTable::window(uint32_t number) const {
    std::lock_guard lock(mutex_);
    for (const WlWindow& w : windows_)
        if (w.number == number && w.pid > 0) return w;
    return std::nullopt;
}

std::vector<WlWindow> WindowTable::frontToBack() const {
    std::lock_guard lock(mutex_);
    std::vector<WlWindow> out;
    for (const WlWindow& w : windows_)
        if (w.pid > 0) out.push_back(w);
    return out;
}

std::vector<WlWindow> WindowTable::windowsOf(pid_t pid) const {
    std::lock_guard lock(mutex_);
    std::vector<WlWindow> out;
    for (const WlWindow& w : windows_)
        if (w.pid == pid && pid > 0) out.push_back(w);
    return out;
}

std::vector<pid_t> WindowTable::pidsLocked() const {
    std::vector<pid_t> out;
    for (const WlWindow& w : windows_)
        if (w.pid > 0 && std::find(out.begin(), out.end(), w.pid) == out.end()) out.push_back(w.pid);
    return out;
}

std::vector<pid_t> WindowTable::pidsFrontToBack() const {
    std::lock_guard lock(mutex_);
    return pidsLocked();
}

std::vector<pid_t> WindowTable::pidsInDiscoveryOrder() const {
    std::lock_guard lock(mutex_);
    std::vector<pid_t> live = pidsLocked();
    std::vector<pid_t> out;
    for (pid_t pid : discovered_)
        if (std::find(live.begin(), live.end(), pid) != live.end()) out.push_back(pid);
    for (pid_t pid : live)
        if (std::find(out.begin(), out.end(), pid) == out.end()) out.push_back(pid);
    return out;
}

bool WindowTable::hasPid(pid_t pid) const {
    std::lock_guard lock(mutex_);
    return pid > 0 &&
           std::any_of(windows_.begin(), windows_.end(), [pid](const WlWindow& w) { return w.pid == pid; });
}

const WlWindow* WindowTable::activeLocked() const {
    for (const WlWindow& w : windows_)
        if (w.activated && w.pid > 0) return &w;
    // No toplevel is activated while a layer surface (the switcher's own) has the keyboard:
    // the window activated last is still the one the user works in.
    for (const WlWindow& w : windows_)
        if (w.pid > 0) return &w;
    return nullptr;
}

uint32_t WindowTable::activeWindow() const {
    std::lock_guard lock(mutex_);
    const WlWindow* w = activeLocked();
    return w ? w->number : 0;
}

pid_t WindowTable::activePid() const {
    std::lock_guard lock(mutex_);
    const WlWindow* w = activeLocked();
    return w ? w->pid : 0;
}

uint64_t WindowTable::focusChanges() const {
    std::lock_guard lock(mutex_);
    return focusChanges_;
}

} // namespace velora::wl
