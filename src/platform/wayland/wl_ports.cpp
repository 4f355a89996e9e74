#include "platform/wayland/wl_ports.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/ax_names.h"
#include "platform/linux/app_identity.h"
#include "platform/linux/spawn.h"
#include "platform/virtual_keys.h"
#include "platform/wayland/wl_context.h"
#include "platform/wayland/wl_running_application.h"
#include "platform/wayland/wl_session.h"
#include "platform/wayland/wl_trace.h"

namespace velora::wl {

// --- the context

void WlContext::refreshViews() {
    if (lost.load()) return;
    if (!hasSwayIpc) {
        announce(table.groupByAppId());
        return;
    }
    auto reply = ipc.request(SwayMessage::GetTree, "");
    trace("tree read");
    if (!reply) return;
    announce(table.applyViews(parseSwayTree(*reply)));
}

void WlContext::announce(const WindowTable::Changes& changes) {
    for (pid_t pid : changes.launched) {
        application(pid);
        notifier->applicationLaunched(pid);
    }
    for (auto [pid, number] : changes.created)
        notifier->windowCreated(pid, number);
    for (auto [pid, number] : changes.destroyed)
        notifier->windowDestroyed(pid, number);
    for (pid_t pid : changes.terminated) {
        std::shared_ptr<WlRunningApplication> app;
        {
            std::lock_guard lock(appsMutex_);
            auto it = apps_.find(pid);
            if (it != apps_.end()) {
                app = it->second;
                apps_.erase(it);
            }
        }
        if (app) app->markTerminated();
        notifier->applicationTerminated(pid);
    }
}

void WlContext::noteCannotMinimize() {
    if (minimizeNoted_.exchange(true)) return;
    std::fprintf(stderr, "velora: sway has no minimised state: windows cannot be minimised or hidden here "
                         "(the minimise and hide keys beep)\n");
    std::fflush(stderr);
}

void WlContext::noteCannotForceQuit() {
    if (forceQuitNoted_.exchange(true)) return;
    std::fprintf(stderr, "velora: this compositor does not tell which process owns a window: applications "
                         "cannot be force-quit here (the force quit key beeps)\n");
    std::fflush(stderr);
}

std::shared_ptr<WlRunningApplication> WlContext::application(pid_t pid) {
    {
        std::lock_guard lock(appsMutex_);
        auto it = apps_.find(pid);
        if (it != apps_.end()) return it->second;
    }
    const auto windows = table.windowsOf(pid);
    if (windows.empty()) return nullptr;
    const std::string& appId = windows.back().appId; // the oldest window names the application
    auto app =
        std::make_shared<WlRunningApplication>(weak_from_this(), pid, identifyApplication(appId, appId));
    std::lock_guard lock(appsMutex_);
    auto [it, made] = apps_.emplace(pid, std::move(app));
    // The theme icon is looked up ahead, on the main thread, for whoever asks later.
    if (made)
        mainThread.performAsync([weak = std::weak_ptr<WlRunningApplication>(it->second)] {
            if (auto live = weak.lock()) live->resolveThemeIcon();
        });
    return it->second;
}

// --- accessibility

namespace {

AXElement windowElement(const WlWindow& w) {
    return AXElement{AXElement::Kind::Window, w.pid, w.number};
}
AXElement appElement(pid_t pid) {
    return AXElement{AXElement::Kind::Application, pid, uint64_t(pid)};
}

constexpr uint64_t kCloseButton = 1, kMinimizeButton = 2;

} // namespace

bool WlAccessibility::isAPIEnabled() {
    return !w_->lost.load();
}

AXError WlAccessibility::setMessagingTimeout(const AXElement& element, float) {
    // Everything is answered from the table: there is nobody to wait for.
    return element.isNull() ? AXError::IllegalArgument : AXError::Success;
}

AXElement WlAccessibility::createSystemWide() {
    return AXElement{AXElement::Kind::SystemWide, 0, 0};
}

AXElement WlAccessibility::createApplication(pid_t pid) {
    if (!w_->table.hasPid(pid)) return {};
    return appElement(pid);
}

std::optional<uint64_t> WlAccessibility::focusChangeCount() {
    return w_->table.focusChanges();
}

AXError WlAccessibility::copyAttributeValue(const AXElement& e, const std::string& attribute, AXValue& out) {
    if (w_->lost.load() && !e.isNull()) return AXError::InvalidUIElement;
    switch (e.kind) {
    case AXElement::Kind::None:
        return AXError::IllegalArgument;
    case AXElement::Kind::SystemWide: {
        if (attribute != ax::FocusedApplication) return AXError::AttributeUnsupported;
        const pid_t pid = w_->table.activePid();
        if (pid <= 0) return AXError::NoValue;
        out = appElement(pid);
        return AXError::Success;
    }
    case AXElement::Kind::Application:
        return applicationAttribute(e, attribute, out);
    case AXElement::Kind::Window: {
        auto w = w_->table.window(uint32_t(e.id));
        if (!w) return AXError::InvalidUIElement;
        return windowAttribute(*w, attribute, out);
    }
    case AXElement::Kind::Child: {
        auto w = w_->table.window(uint32_t(e.id >> 32));
        if (!w) return AXError::InvalidUIElement;
        if (attribute == ax::Role) {
            out = std::string(ax::RoleButton);
            return AXError::Success;
        }
        if (attribute == ax::Enabled) {
            // Asked only when the minimise key is pressed.
            const bool minimize = (e.id & 0xFFFFFFFFu) == kMinimizeButton;
            if (minimize && !w_->canMinimize) w_->noteCannotMinimize();
            out = !minimize || w_->canMinimize;
            return AXError::Success;
        }
        return AXError::AttributeUnsupported;
    }
    }
    return AXError::Failure;
}

AXError WlAccessibility::applicationAttribute(const AXElement& e, const std::string& attribute,
                                              AXValue& out) {
    const auto windows = w_->table.windowsOf(e.pid);
    if (windows.empty()) return AXError::InvalidUIElement;
    if (attribute == ax::FocusedWindow) {
        const uint32_t active = w_->table.activeWindow();
        for (const WlWindow& w : windows)
            if (w.number == active) {
                out = windowElement(w);
                return AXError::Success;
            }
        out = windowElement(windows.front());
        return AXError::Success;
    }
    if (attribute == ax::Role) {
        out = std::string("AXApplication");
        return AXError::Success;
    }
    if (attribute == ax::Title) {
        auto app = w_->application(e.pid);
        if (!app) return AXError::NoValue;
        out = app->localizedName();
        return AXError::Success;
    }
    if (attribute == ax::Windows) {
        std::vector<AXElement> elements;
        elements.reserve(windows.size());
        for (const WlWindow& w : windows)
            elements.push_back(windowElement(w));
        out = std::move(elements);
        return AXError::Success;
    }
    if (attribute == ax::Frontmost) {
        out = w_->table.activePid() == e.pid;
        return AXError::Success;
    }
    return AXError::AttributeUnsupported;
}

AXError WlAccessibility::windowAttribute(const WlWindow& w, const std::string& attribute, AXValue& out) {
    if (attribute == ax::Role) {
        out = std::string(ax::RoleWindow);
        return AXError::Success;
    }
    if (attribute == ax::Subrole) {
        out = std::string(ax::SubroleStandardWindow);
        return AXError::Success;
    }
    if (attribute == ax::Title) {
        out = w.title;
        return AXError::Success;
    }
    if (attribute == ax::Minimized) {
        out = w.minimized;
        return AXError::Success;
    }
    if (attribute == ax::Focused || attribute == ax::Frontmost) {
        out = w_->table.activeWindow() == w.number;
        return AXError::Success;
    }
    if (attribute == ax::Position) {
        out = Point{w.bounds.x, w.bounds.y};
        return AXError::Success;
    }
    if (attribute == ax::SizeAttr) {
        out = Size{w.bounds.width, w.bounds.height};
        return AXError::Success;
    }
    if (attribute == ax::CloseButton) {
        out = AXElement{AXElement::Kind::Child, w.pid, (uint64_t(w.number) << 32) | kCloseButton};
        return AXError::Success;
    }
    if (attribute == ax::MinimizeButton) {
        out = AXElement{AXElement::Kind::Child, w.pid, (uint64_t(w.number) << 32) | kMinimizeButton};
        return AXError::Success;
    }
    if (attribute == ax::Children) {
        out = std::vector<AXElement>{};
        return AXError::Success;
    }
    if (attribute == ax::Document) return AXError::NoValue;
    return AXError::AttributeUnsupported;
}

AXError WlAccessibility::setAttributeValue(const AXElement& e, const std::string& attribute,
                                           const AXValue& value) {
    const bool* on = std::get_if<bool>(&value);
    if (w_->lost.load() || !w_->session) return AXError::InvalidUIElement;
    if (e.kind == AXElement::Kind::Application) {
        if (!w_->table.hasPid(e.pid)) return AXError::InvalidUIElement;
        if (attribute != ax::Frontmost) return AXError::AttributeUnsupported;
        if (!on) return AXError::IllegalArgument;
        if (*on)
            if (auto app = w_->application(e.pid)) app->activateWithOptions(kActivateIgnoringOtherApps);
        return AXError::Success;
    }
    if (e.kind != AXElement::Kind::Window)
        return e.isNull() ? AXError::IllegalArgument : AXError::AttributeUnsupported;
    auto w = w_->table.window(uint32_t(e.id));
    if (!w) return AXError::InvalidUIElement;
    if (!on) return AXError::IllegalArgument;
    if (attribute == ax::Frontmost || attribute == ax::Focused) {
        if (*on) {
            w_->table.promote(w->number);
            w_->session->activate(w->number);
        }
    } else if (attribute == ax::Minimized) {
        w_->session->setMinimized(w->number, *on);
    } else {
        return AXError::AttributeUnsupported;
    }
    return AXError::Success;
}

AXError WlAccessibility::performAction(const AXElement& e, const std::string& action) {
    if (e.kind != AXElement::Kind::Window && e.kind != AXElement::Kind::Child)
        return e.isNull() ? AXError::IllegalArgument : AXError::ActionUnsupported;
    if (w_->lost.load() || !w_->session) return AXError::InvalidUIElement;
    const uint32_t number = e.kind == AXElement::Kind::Child ? uint32_t(e.id >> 32) : uint32_t(e.id);
    auto w = w_->table.window(number);
    if (!w) return AXError::InvalidUIElement;
    if (e.kind == AXElement::Kind::Window) {
        if (action != ax::ActionRaise) return AXError::ActionUnsupported;
        w_->table.promote(number);
        w_->session->activate(number); // a compositor raises only by activating
        return AXError::Success;
    }
    if (action != ax::ActionPress) return AXError::ActionUnsupported;
    if ((e.id & 0xFFFFFFFFu) == kCloseButton)
        w_->session->close(number);
    else
        w_->session->setMinimized(number, true);
    return AXError::Success;
}

AXError WlAccessibility::getPid(const AXElement& e, pid_t& out) {
    switch (e.kind) {
    case AXElement::Kind::None:
    case AXElement::Kind::SystemWide:
        return AXError::IllegalArgument;
    case AXElement::Kind::Application:
        if (!w_->table.hasPid(e.pid)) return AXError::InvalidUIElement;
        out = e.pid;
        return AXError::Success;
    default: {
        const uint32_t number = e.kind == AXElement::Kind::Child ? uint32_t(e.id >> 32) : uint32_t(e.id);
        auto w = w_->table.window(number);
        if (!w) return AXError::InvalidUIElement;
        out = w->pid;
        return AXError::Success;
    }
    }
}

uint32_t WlAccessibility::windowNumber(const AXElement& e) {
    return e.kind == AXElement::Kind::Window ? uint32_t(e.id) : 0;
}

std::shared_ptr<AXObserver> WlAccessibility::createObserver(pid_t pid, AXObserverCallback callback) {
    if (!w_->table.hasPid(pid)) return nullptr;
    auto observer = std::make_shared<DesktopObserver>(pid, std::move(callback));
    w_->notifier->addObserver(observer);
    return observer;
}

// --- window server

WindowInfoList WlWindowServer::copyWindowInfo(uint32_t, uint32_t) {
    if (w_->lost.load()) return nullptr;
    // Rectangles change without a toplevel event: the tree is read now, unless it was read
    // for the switch that has just begun.
    if (!w_->switchReading.takeTree()) w_->refreshViews();
    auto list = std::make_shared<std::vector<WindowInfo>>();
    for (const WlWindow& w : w_->table.frontToBack()) {
        WindowInfo info;
        info.number = w.number;
        info.ownerPID = w.pid;
        info.layer = 0;
        info.bounds = w.bounds;
        info.name = w.title;
        info.isOnscreen = w.visible && !w.minimized;
        list->push_back(std::move(info));
    }
    return list;
}

bool WlWindowServer::windowBounds(uint32_t windowNumber, Rect& out) {
    auto w = w_->table.window(windowNumber);
    if (!w) return false;
    out = w->bounds;
    return true;
}

int32_t WlWindowServer::windowSpace(uint32_t windowNumber) {
    auto w = w_->table.window(windowNumber);
    return w ? w->workspace : 0;
}

std::vector<uint32_t> WlWindowServer::spaceWindowList(int32_t space) {
    std::vector<uint32_t> out;
    for (const WlWindow& w : w_->table.frontToBack())
        if (w.workspace == space && space > 0) out.push_back(w.number);
    return out;
}

QImage WlWindowServer::captureWindow(uint32_t windowNumber, Size size) {
    if (w_->lost.load() || !w_->session) return {};
    return w_->session->windowPicture(windowNumber, size);
}

std::optional<uint64_t> WlWindowServer::windowContentsVersion(uint32_t windowNumber) {
    if (w_->lost.load() || !w_->session) return std::nullopt;
    return w_->session->windowPictureVersion(windowNumber);
}

// --- the panel

std::optional<PanelOutput> WlPanelSurface::panelOutput() {
    if (w_->lost.load() || !w_->session) return std::nullopt;
    if (!w_->hasSwayIpc) return w_->session->focusedOutput();
    // The output focused when the switch began, as its pictures were read.
    auto reply = w_->switchReading.outputs();
    if (!reply) reply = w_->ipc.request(SwayMessage::GetOutputs, "");
    if (!reply) return std::nullopt;
    const auto outputs = parseSwayOutputs(*reply);
    for (const SwayOutput& o : outputs) {
        if (!o.focused) continue;
        // wl_output.scale is the integer the compositor draws clients at; sway's own scale may
        // be fractional, and rounds up to it.
        int scale = w_->session->outputScale(o.name);
        if (scale <= 0) scale = std::max(1, int(std::ceil(o.scale)));
        return PanelOutput{o.rect, scale};
    }
    return std::nullopt;
}

void WlPanelSurface::present(const QImage& image, PanelPlacement placement) {
    if (!w_->lost.load() && w_->session)
        w_->session->showPanel(image, placement == PanelPlacement::CoverOutput);
}

void WlPanelSurface::withdraw() {
    if (!w_->lost.load() && w_->session) w_->session->hidePanel();
}

void WlPanelSurface::setPointerHandler(std::function<void(const PanelPointerEvent&)> handler) {
    if (w_->session) w_->session->setPanelPointerHandler(std::move(handler));
}

// --- workspace

std::vector<RunningApplicationRef> WlWorkspace::runningApplications() {
    std::vector<RunningApplicationRef> out;
    for (pid_t pid : w_->table.pidsInDiscoveryOrder())
        if (auto app = w_->application(pid)) out.push_back(app);
    return out;
}

RunningApplicationRef WlWorkspace::runningApplicationWithProcessIdentifier(pid_t pid) {
    if (!w_->table.hasPid(pid)) return nullptr;
    return w_->application(pid);
}

std::vector<pid_t> WlWorkspace::processesInFrontToBackOrder() {
    if (w_->lost.load()) return {};
    return w_->table.pidsFrontToBack();
}

void WlWorkspace::addObserver(WorkspaceObserver* observer) {
    w_->notifier->addWorkspaceObserver(observer);
}
void WlWorkspace::removeObserver(WorkspaceObserver* observer) {
    w_->notifier->removeWorkspaceObserver(observer);
}

// --- input

namespace {

// What each key shows on a US layout.
class UsLayout final : public KeyboardLayout {
  public:
    std::string identifier() const override { return "us"; }
    std::u16string translate(uint16_t keyCode, uint32_t, uint32_t&) const override {
        const std::string c = vk::usLayoutCharacter(keyCode);
        std::u16string out;
        for (char ch : c)
            out.push_back(char16_t(static_cast<unsigned char>(ch)));
        return out;
    }
};

} // namespace

uint64_t WlInput::currentModifierFlags() {
    return w_->lost.load() ? 0 : w_->liveFlags.load();
}

std::unique_ptr<EventTap> WlInput::createEventTap(EventTapCallback callback) {
    if (w_->lost.load()) return nullptr;
    return std::make_unique<WlEventTap>(w_->taps, w_, std::move(callback));
}

KeyHolder WlInput::keyHolder() {
    const TapHub::Refusal refusal = w_->taps.refusal();
    if (refusal.keys.empty()) return {};
    KeyHolder holder;
    holder.name = std::string(compositorName(w_->compositor));
    holder.refusal = refusal.reason.empty() ? "it refused the binding" : refusal.reason;
    return holder;
}

std::optional<HotKeyConfigLine> WlInput::hotKeyConfigLine(const InterceptedKey& key,
                                                          const std::string& triggerName) {
    if (w_->hasSwayIpc || key.anyModifiers) return std::nullopt;
    auto line = triggerBindingLine(w_->compositor, key.keyCode, key.modifiers, triggerName);
    if (!line) return std::nullopt;
    return HotKeyConfigLine{std::string(compositorName(w_->compositor)),
                            std::string(configurationPlace(w_->compositor)), *line};
}

bool WlInput::pressKeyFromBinding(const InterceptedKey& key) {
    if (w_->lost.load() || !w_->session) return false;
    w_->session->pressBoundKey(key.keyCode, key.modifiers);
    return true;
}

std::shared_ptr<const KeyboardLayout> WlInput::currentKeyboardLayout() {
    static const auto layout = std::make_shared<UsLayout>();
    return layout;
}

} // namespace velora::wl
