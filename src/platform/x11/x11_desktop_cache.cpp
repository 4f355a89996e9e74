#include "platform/x11/x11_desktop_cache.h"

#include <algorithm>
#include <chrono>

namespace velora::x11 {

bool RootState::supports(xcb_atom_t atom) const {
    return std::find(supported.begin(), supported.end(), atom) != supported.end();
}

void DesktopCache::setStateAtoms(xcb_atom_t hidden, xcb_atom_t shaded) {
    std::lock_guard lock(mutex_);
    hiddenState_ = hidden;
    shadedState_ = shaded;
}

bool DesktopCache::minimizedLocked(const ClientInfo& info) const {
    return info.isMinimized(hiddenState_, shadedState_, root_.supports(hiddenState_));
}

bool DesktopCache::isMinimized(const ClientInfo& info) const {
    std::lock_guard lock(mutex_);
    return minimizedLocked(info);
}

std::optional<ClientInfo> DesktopCache::client(xcb_window_t window) const {
    std::lock_guard lock(mutex_);
    auto it = clients_.find(window);
    if (it == clients_.end()) return std::nullopt;
    return it->second;
}

bool DesktopCache::isClient(xcb_window_t window) const {
    std::lock_guard lock(mutex_);
    return clients_.count(window) > 0;
}

bool DesktopCache::wasDestroyed(xcb_window_t window) const {
    std::lock_guard lock(mutex_);
    return destroyed_.count(window) > 0;
}

RootState DesktopCache::root() const {
    std::lock_guard lock(mutex_);
    return root_;
}

bool DesktopCache::requestPendsLocked() const {
    return requestPending_ && clients_.count(requested_) && now_() - requestedAt_ < kRequestStandsSeconds;
}

xcb_window_t DesktopCache::activeLocked() const {
    if (focuslessActive_ != kNoWindow && clients_.count(focuslessActive_)) return focuslessActive_;
    // Until the manager has done what this program asked, what it reports meanwhile stems
    // from before the request (a focus that follows the mouse, moved as the panel went):
    // it is neither the active window nor a recent one.
    if (requestPendsLocked()) return requested_;
    if (root_.active == kNoWindow && activeBeforeZero_ != kNoWindow && clients_.count(activeBeforeZero_) &&
        now_() - zeroSince_ < kZeroGraceSeconds)
        return activeBeforeZero_;
    return clients_.count(root_.active) ? root_.active : kNoWindow;
}

xcb_window_t DesktopCache::activeWindow() const {
    std::lock_guard lock(mutex_);
    return activeLocked();
}

void DesktopCache::noteFocusLocked() {
    const xcb_window_t window = activeLocked();
    auto it = clients_.find(window);
    const pid_t pid = it == clients_.end() ? 0 : it->second.pid;
    if (window == focusSeen_ && pid == focusSeenPid_) return;
    focusSeen_ = window;
    focusSeenPid_ = pid;
    ++focusChanges_;
}

pid_t DesktopCache::activePid() const {
    std::lock_guard lock(mutex_);
    auto it = clients_.find(activeLocked());
    return it == clients_.end() ? 0 : it->second.pid;
}

std::vector<xcb_window_t> DesktopCache::frontFirstLocked() const {
    std::vector<xcb_window_t> order;
    order.reserve(clients_.size());
    const auto add = [&](xcb_window_t w) {
        if (clients_.count(w) && std::find(order.begin(), order.end(), w) == order.end()) order.push_back(w);
    };
    // The server's own stacking of the frames first; then the manager's list for windows
    // whose frame is not placed yet.
    for (auto it = rootStack_.rbegin(); it != rootStack_.rend(); ++it) {
        auto frame = frameToClient_.find(*it);
        add(frame != frameToClient_.end() ? frame->second : *it);
    }
    for (auto it = root_.stacking.rbegin(); it != root_.stacking.rend(); ++it)
        add(*it);
    // Managed windows the stacking list does not name yet go last, oldest first.
    std::vector<const ClientInfo*> rest;
    for (const auto& [window, info] : clients_)
        if (std::find(order.begin(), order.end(), window) == order.end()) rest.push_back(&info);
    std::sort(rest.begin(), rest.end(), [](auto* a, auto* b) { return a->discovered < b->discovered; });
    for (const ClientInfo* info : rest)
        order.push_back(info->window);
    return order;
}

std::vector<ClientInfo> DesktopCache::clientsFrontFirst() const {
    std::lock_guard lock(mutex_);
    std::vector<ClientInfo> out;
    for (xcb_window_t w : frontFirstLocked())
        out.push_back(clients_.at(w));
    return out;
}

std::vector<ClientInfo> DesktopCache::clientsOf(pid_t pid) const {
    std::lock_guard lock(mutex_);
    std::vector<ClientInfo> out;
    if (pid <= 0) return out;
    for (xcb_window_t w : frontFirstLocked()) {
        const ClientInfo& info = clients_.at(w);
        if (info.pid == pid) out.push_back(info);
    }
    return out;
}

xcb_window_t DesktopCache::mostRecentWindowOf(pid_t pid) const {
    std::lock_guard lock(mutex_);
    if (pid <= 0) return kNoWindow;
    // A window of the process this program has just asked to activate stands, even when the
    // manager reports another one meanwhile: that report may stem from before the request (a
    // focus that follows the mouse, moved as the panel went away).
    if (auto it = clients_.find(requested_); it != clients_.end() && it->second.pid == pid &&
                                             now_() - requestedAt_ < kRequestStandsSeconds &&
                                             !minimizedLocked(it->second))
        return requested_;
    std::vector<xcb_window_t> candidates;
    for (xcb_window_t w : recency_)
        if (auto it = clients_.find(w); it != clients_.end() && it->second.pid == pid)
            candidates.push_back(w);
    for (xcb_window_t w : frontFirstLocked())
        if (clients_.at(w).pid == pid &&
            std::find(candidates.begin(), candidates.end(), w) == candidates.end())
            candidates.push_back(w);
    if (candidates.empty()) return kNoWindow;
    for (xcb_window_t w : candidates) {
        const ClientInfo& info = clients_.at(w);
        if (!minimizedLocked(info)) return w;
    }
    return candidates.front();
}

std::vector<pid_t> DesktopCache::pidsFrontToBack() const {
    std::lock_guard lock(mutex_);
    std::vector<pid_t> out;
    const auto add = [&](pid_t pid) {
        if (pid > 0 && std::find(out.begin(), out.end(), pid) == out.end()) out.push_back(pid);
    };
    if (auto it = clients_.find(activeLocked()); it != clients_.end()) add(it->second.pid);
    // Then by their last active window: tiling managers (i3) do not restack on focus, so the
    // stacking order says nothing of use there. Applications never active follow it.
    for (xcb_window_t w : recency_)
        if (auto it = clients_.find(w); it != clients_.end()) add(it->second.pid);
    for (xcb_window_t w : frontFirstLocked())
        add(clients_.at(w).pid);
    return out;
}

std::vector<pid_t> DesktopCache::pidsInDiscoveryOrder() const {
    std::lock_guard lock(mutex_);
    std::map<pid_t, uint64_t> first;
    for (const auto& [window, info] : clients_) {
        if (info.pid <= 0) continue;
        auto [it, inserted] = first.emplace(info.pid, info.discovered);
        if (!inserted) it->second = std::min(it->second, info.discovered);
    }
    std::vector<std::pair<uint64_t, pid_t>> order;
    order.reserve(first.size());
    for (auto [pid, when] : first)
        order.emplace_back(when, pid);
    std::sort(order.begin(), order.end());
    std::vector<pid_t> out;
    out.reserve(order.size());
    for (auto [when, pid] : order)
        out.push_back(pid);
    return out;
}

bool DesktopCache::hasPid(pid_t pid) const {
    std::lock_guard lock(mutex_);
    if (pid <= 0) return false;
    return std::any_of(clients_.begin(), clients_.end(),
                       [&](const auto& kv) { return kv.second.pid == pid; });
}

xcb_window_t DesktopCache::clientOfFrame(xcb_window_t frame) const {
    std::lock_guard lock(mutex_);
    auto it = frameToClient_.find(frame);
    return it == frameToClient_.end() ? kNoWindow : it->second;
}

std::map<xcb_window_t, xcb_window_t> DesktopCache::frames() const {
    std::lock_guard lock(mutex_);
    return {frameToClient_.begin(), frameToClient_.end()};
}

std::map<xcb_window_t, pid_t> DesktopCache::popUps() const {
    std::lock_guard lock(mutex_);
    return popUps_;
}

bool DesktopCache::isPopUp(xcb_window_t window) const {
    std::lock_guard lock(mutex_);
    return popUps_.count(window) > 0;
}

void DesktopCache::touchLocked(xcb_window_t window) {
    recency_.erase(std::remove(recency_.begin(), recency_.end(), window), recency_.end());
    recency_.insert(recency_.begin(), window);
}

void DesktopCache::noteActivationRequest(xcb_window_t window, bool takesFocus) {
    std::lock_guard lock(mutex_);
    if (!clients_.count(window)) return;
    // A report from before this request may still come while a hold or an earlier request
    // stands: a focus the panel's hiding moved, or the earlier request's window.
    const bool reportsMayFollow = requestPendsLocked();
    touchLocked(window);
    requested_ = window;
    requestedAt_ = now_();
    // For the window reported active already, the request stands only then: the manager
    // reports it once more after such a report, and may report nothing otherwise.
    requestPending_ = takesFocus && (root_.active != window || reportsMayFollow);
    focuslessActive_ = takesFocus ? kNoWindow : window;
    noteFocusLocked();
}

bool DesktopCache::lapseLocked() {
    if (!requestPending_ || now_() - requestedAt_ < kRequestStandsSeconds) return false;
    // The request lapsed without the manager reporting its window: what it reports is the
    // active window again, and recent use.
    requestPending_ = false;
    if (clients_.count(root_.active)) touchLocked(root_.active);
    const uint64_t before = focusChanges_;
    noteFocusLocked();
    return focusChanges_ != before;
}

uint64_t DesktopCache::focusChanges() {
    std::lock_guard lock(mutex_);
    lapseLocked();
    return focusChanges_;
}

bool DesktopCache::lapseRequest() {
    std::lock_guard lock(mutex_);
    return lapseLocked();
}

void DesktopCache::holdActive() {
    std::lock_guard lock(mutex_);
    const xcb_window_t active = activeLocked();
    if (active == kNoWindow || active == focuslessActive_) return;
    requested_ = active;
    requestedAt_ = now_();
    requestPending_ = true;
}

void DesktopCache::noteHidden(pid_t pid, std::vector<xcb_window_t> windows) {
    std::lock_guard lock(mutex_);
    if (windows.empty())
        hidden_.erase(pid);
    else
        hidden_[pid] = std::move(windows);
}

std::vector<xcb_window_t> DesktopCache::takeHidden(pid_t pid) {
    std::lock_guard lock(mutex_);
    auto it = hidden_.find(pid);
    if (it == hidden_.end()) return {};
    auto windows = std::move(it->second);
    hidden_.erase(it);
    return windows;
}

bool DesktopCache::isHidden(pid_t pid) const {
    std::lock_guard lock(mutex_);
    if (!hidden_.count(pid)) return false;
    bool any = false;
    for (const auto& [window, info] : clients_) {
        if (info.pid != pid) continue;
        any = true;
        if (!minimizedLocked(info)) return false;
    }
    return any;
}

void DesktopCache::setActive(xcb_window_t window) {
    std::lock_guard lock(mutex_);
    if (window != kNoWindow && window != root_.active && window != focuslessActive_)
        focuslessActive_ = kNoWindow;
    if (window == kNoWindow && root_.active != kNoWindow) {
        activeBeforeZero_ = root_.active;
        zeroSince_ = now_();
    } else if (window != kNoWindow) {
        activeBeforeZero_ = kNoWindow;
    }
    root_.active = window;
    if (window == requested_) requestPending_ = false;
    if (clients_.count(window) && !requestPendsLocked()) touchLocked(window);
    noteFocusLocked();
}

void DesktopCache::setClientList(std::vector<xcb_window_t> list) {
    std::lock_guard lock(mutex_);
    root_.clientList = std::move(list);
}

void DesktopCache::setStacking(std::vector<xcb_window_t> stacking) {
    std::lock_guard lock(mutex_);
    root_.stacking = std::move(stacking);
}

void DesktopCache::setDesktops(uint32_t current, uint32_t count) {
    std::lock_guard lock(mutex_);
    root_.currentDesktop = current;
    root_.desktops = count;
}

void DesktopCache::setCurrentDesktop(uint32_t current) {
    std::lock_guard lock(mutex_);
    root_.currentDesktop = current;
}

void DesktopCache::setDesktopCount(uint32_t count) {
    std::lock_guard lock(mutex_);
    root_.desktops = count;
}

void DesktopCache::setSupported(std::vector<xcb_atom_t> supported) {
    std::lock_guard lock(mutex_);
    root_.supported = std::move(supported);
}

void DesktopCache::insertClient(ClientInfo info) {
    std::lock_guard lock(mutex_);
    const xcb_window_t window = info.window;
    info.discovered = nextDiscovery_++;
    if (info.frame != kNoWindow) frameToClient_[info.frame] = window;
    destroyed_.erase(window);
    clients_[window] = std::move(info);
    if (root_.active == window) touchLocked(window);
    noteFocusLocked();
}

std::optional<ClientInfo> DesktopCache::removeClient(xcb_window_t window) {
    std::lock_guard lock(mutex_);
    auto it = clients_.find(window);
    if (it == clients_.end()) return std::nullopt;
    ClientInfo info = std::move(it->second);
    clients_.erase(it);
    for (auto f = frameToClient_.begin(); f != frameToClient_.end();) {
        if (f->second == window)
            f = frameToClient_.erase(f);
        else
            ++f;
    }
    recency_.erase(std::remove(recency_.begin(), recency_.end(), window), recency_.end());
    if (focuslessActive_ == window) focuslessActive_ = kNoWindow;
    if (destroyed_.insert(window).second) destroyedOrder_.push_back(window);
    while (destroyedOrder_.size() > kRememberedDestroyed) {
        destroyed_.erase(destroyedOrder_.front());
        destroyedOrder_.pop_front();
    }
    noteFocusLocked();
    return info;
}

bool DesktopCache::updateClient(xcb_window_t window, const std::function<void(ClientInfo&)>& change) {
    std::lock_guard lock(mutex_);
    auto it = clients_.find(window);
    if (it == clients_.end()) return false;
    change(it->second);
    noteFocusLocked();
    return true;
}

void DesktopCache::setFrame(xcb_window_t client, xcb_window_t frame) {
    std::lock_guard lock(mutex_);
    auto it = clients_.find(client);
    if (it == clients_.end()) return;
    if (it->second.frame != kNoWindow) frameToClient_.erase(it->second.frame);
    it->second.frame = frame;
    if (frame != kNoWindow) frameToClient_[frame] = client;
}

void DesktopCache::resetRootStack(std::vector<xcb_window_t> bottomFirst) {
    std::lock_guard lock(mutex_);
    rootStack_ = std::move(bottomFirst);
}

void DesktopCache::rootChildOnTop(xcb_window_t window) {
    std::lock_guard lock(mutex_);
    rootStack_.erase(std::remove(rootStack_.begin(), rootStack_.end(), window), rootStack_.end());
    rootStack_.push_back(window);
}

void DesktopCache::rootChildAtBottom(xcb_window_t window) {
    std::lock_guard lock(mutex_);
    rootStack_.erase(std::remove(rootStack_.begin(), rootStack_.end(), window), rootStack_.end());
    rootStack_.insert(rootStack_.begin(), window);
}

void DesktopCache::rootChildAbove(xcb_window_t window, xcb_window_t sibling) {
    std::lock_guard lock(mutex_);
    rootStack_.erase(std::remove(rootStack_.begin(), rootStack_.end(), window), rootStack_.end());
    if (sibling == kNoWindow) {
        rootStack_.insert(rootStack_.begin(), window);
        return;
    }
    auto it = std::find(rootStack_.begin(), rootStack_.end(), sibling);
    // A sibling not known (an event missed before the start): on top is the best guess.
    rootStack_.insert(it == rootStack_.end() ? rootStack_.end() : it + 1, window);
}

void DesktopCache::rootChildGone(xcb_window_t window) {
    std::lock_guard lock(mutex_);
    rootStack_.erase(std::remove(rootStack_.begin(), rootStack_.end(), window), rootStack_.end());
}

std::vector<xcb_window_t> DesktopCache::rootStack() const {
    std::lock_guard lock(mutex_);
    return rootStack_;
}

void DesktopCache::setPopUp(xcb_window_t window, pid_t pid) {
    std::lock_guard lock(mutex_);
    popUps_[window] = pid;
}

void DesktopCache::erasePopUp(xcb_window_t window) {
    std::lock_guard lock(mutex_);
    popUps_.erase(window);
}

void DesktopCache::clear() {
    std::lock_guard lock(mutex_);
    root_ = RootState{};
    clients_.clear();
    frameToClient_.clear();
    popUps_.clear();
    recency_.clear();
    rootStack_.clear();
    focuslessActive_ = kNoWindow;
    hidden_.clear();
    noteFocusLocked();
}

} // namespace velora::x11
