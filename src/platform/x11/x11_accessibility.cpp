#include "platform/x11/x11_accessibility.h"

#include "platform/ax_names.h"
#include "platform/workspace.h"
#include "platform/x11/x11_context.h"
#include "platform/x11/x11_geometry.h"
#include "platform/x11/x11_reply.h"
#include "platform/x11/x11_running_application.h"

namespace velora::x11 {

namespace {

constexpr uint64_t kCloseButton = 1, kMinimizeButton = 2;

AXElement windowElement(const ClientInfo& info) {
    return AXElement{AXElement::Kind::Window, info.pid, uint64_t(info.window)};
}

AXElement partElement(const ClientInfo& info, uint64_t part) {
    return AXElement{AXElement::Kind::Child, info.pid, (uint64_t(info.window) << 32) | part};
}

xcb_window_t windowOf(const AXElement& e) {
    return e.kind == AXElement::Kind::Child ? xcb_window_t(e.id >> 32) : xcb_window_t(e.id);
}

const bool* asBool(const AXValue& value) {
    return std::get_if<bool>(&value);
}

} // namespace

bool X11Accessibility::isAPIEnabled() {
    return !x_->lost.load() && x_->hasXInput && x_->keyboard.isOpen();
}

AXError X11Accessibility::setMessagingTimeout(const AXElement& element, float seconds) {
    switch (element.kind) {
    case AXElement::Kind::None:
        return AXError::IllegalArgument;
    case AXElement::Kind::SystemWide:
        x_->responsiveness.setTimeout(0, seconds);
        return AXError::Success;
    default:
        if (element.pid <= 0) return AXError::IllegalArgument;
        x_->responsiveness.setTimeout(element.pid, seconds);
        return AXError::Success;
    }
}

AXElement X11Accessibility::createSystemWide() {
    return AXElement{AXElement::Kind::SystemWide, 0, 0};
}

AXElement X11Accessibility::createApplication(pid_t pid) {
    if (!x_->cache.hasPid(pid)) return {};
    return AXElement{AXElement::Kind::Application, pid, uint64_t(pid)};
}

std::optional<uint64_t> X11Accessibility::focusChangeCount() {
    return x_->cache.focusChanges();
}

AXError X11Accessibility::answers(pid_t pid, bool mayPing) {
    if (x_->lost.load()) return AXError::InvalidUIElement;
    return x_->responsiveness.check(pid, x_->pingableWindowsOf(pid),
                                    mayPing ? Responsiveness::Mode::MayPing
                                            : Responsiveness::Mode::KnownOnly);
}

AXError X11Accessibility::copyAttributeValue(const AXElement& e, const std::string& attribute, AXValue& out) {
    switch (e.kind) {
    case AXElement::Kind::None:
        return AXError::IllegalArgument;
    case AXElement::Kind::SystemWide: {
        // The desktop itself answers this one, from the cache.
        if (attribute != ax::FocusedApplication) return AXError::AttributeUnsupported;
        const pid_t pid = x_->cache.activePid();
        if (pid <= 0) return AXError::NoValue;
        out = AXElement{AXElement::Kind::Application, pid, uint64_t(pid)};
        return AXError::Success;
    }
    case AXElement::Kind::Application:
        return applicationAttribute(e, attribute, out);
    case AXElement::Kind::Window:
        return windowAttribute(e, attribute, out);
    case AXElement::Kind::Child:
        return partAttribute(e, attribute, out);
    }
    return AXError::Failure;
}

AXError X11Accessibility::applicationAttribute(const AXElement& e, const std::string& attribute,
                                               AXValue& out) {
    if (!x_->cache.hasPid(e.pid)) return AXError::InvalidUIElement;
    // The focused-window poll asks this five times a second: it is answered from the cache
    // and what is known of the application, without a ping.
    const bool focusedWindow = attribute == ax::FocusedWindow;
    if (AXError err = answers(e.pid, !focusedWindow); err != AXError::Success) return err;
    if (focusedWindow) {
        xcb_window_t window = x_->cache.activeWindow();
        auto info = x_->cache.client(window);
        if (!info || info->pid != e.pid) info = x_->cache.client(x_->cache.mostRecentWindowOf(e.pid));
        if (!info) return AXError::NoValue;
        out = windowElement(*info);
        return AXError::Success;
    }
    if (attribute == ax::Role) {
        out = std::string("AXApplication");
        return AXError::Success;
    }
    if (attribute == ax::Title) {
        auto app = x_->apps.find(e.pid);
        if (!app) return AXError::NoValue;
        out = app->localizedName();
        return AXError::Success;
    }
    if (attribute == ax::Windows) {
        std::vector<AXElement> windows;
        for (const ClientInfo& info : x_->cache.clientsOf(e.pid))
            windows.push_back(windowElement(info));
        out = std::move(windows);
        return AXError::Success;
    }
    if (attribute == ax::Frontmost) {
        out = x_->cache.activePid() == e.pid;
        return AXError::Success;
    }
    return AXError::AttributeUnsupported;
}

AXError X11Accessibility::windowAttribute(const AXElement& e, const std::string& attribute, AXValue& out) {
    const xcb_window_t window = windowOf(e);
    auto info = x_->cache.client(window);
    if (!info) {
        // A window that has just gone still tells that it was a window.
        if (attribute == ax::Role && x_->cache.wasDestroyed(window)) {
            out = std::string(ax::RoleWindow);
            return AXError::Success;
        }
        return AXError::InvalidUIElement;
    }
    if (AXError err = answers(info->pid, true); err != AXError::Success) return err;
    const Atoms& atoms = x_->atoms;
    if (attribute == ax::Role) {
        out = std::string(ax::RoleWindow);
        return AXError::Success;
    }
    if (attribute == ax::Subrole) {
        out = info->subrole(atoms);
        return AXError::Success;
    }
    if (attribute == ax::Title) {
        out = info->title();
        return AXError::Success;
    }
    if (attribute == ax::Minimized) {
        out = x_->cache.isMinimized(*info);
        return AXError::Success;
    }
    if (attribute == ax::Focused || attribute == ax::Frontmost) {
        out = x_->cache.activeWindow() == window;
        return AXError::Success;
    }
    if (attribute == ax::Position || attribute == ax::SizeAttr) {
        auto place = windowPlace(x_->c, x_->root, window);
        if (!place) return AXError::InvalidUIElement;
        if (attribute == ax::Position)
            out = Point{place->bounds.x, place->bounds.y};
        else
            out = Size{place->bounds.width, place->bounds.height};
        return AXError::Success;
    }
    if (attribute == ax::CloseButton) {
        if (!info->deleteWindow) return AXError::NoValue;
        out = partElement(*info, kCloseButton);
        return AXError::Success;
    }
    if (attribute == ax::MinimizeButton) {
        if (!info->canMinimize(atoms)) return AXError::NoValue;
        out = partElement(*info, kMinimizeButton);
        return AXError::Success;
    }
    if (attribute == ax::Children) {
        auto tree = takeReply(x_->c, xcb_query_tree(x_->c, window), xcb_query_tree_reply);
        if (!tree) return AXError::InvalidUIElement;
        std::vector<AXElement> children;
        children.reserve(std::size_t(xcb_query_tree_children_length(tree.get())));
        const xcb_window_t* kids = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
            children.push_back(partElement(*info, kids[i]));
        out = std::move(children);
        return AXError::Success;
    }
    if (attribute == ax::Document) return AXError::NoValue;
    return AXError::AttributeUnsupported;
}

AXError X11Accessibility::partAttribute(const AXElement& e, const std::string& attribute, AXValue& out) {
    auto info = x_->cache.client(windowOf(e));
    if (!info) return AXError::InvalidUIElement;
    if (AXError err = answers(info->pid, true); err != AXError::Success) return err;
    const uint64_t part = e.id & 0xFFFFFFFFu;
    const bool button = part == kCloseButton || part == kMinimizeButton;
    if (attribute == ax::Role) {
        out = std::string(button ? ax::RoleButton : "AXGroup");
        return AXError::Success;
    }
    if (attribute == ax::Enabled && button) {
        out = part == kCloseButton ? info->allows(x_->atoms._NET_WM_ACTION_CLOSE)
                                   : info->allows(x_->atoms._NET_WM_ACTION_MINIMIZE);
        return AXError::Success;
    }
    return AXError::AttributeUnsupported;
}

AXError X11Accessibility::setAttributeValue(const AXElement& e, const std::string& attribute,
                                            const AXValue& value) {
    const bool* on = asBool(value);
    if (e.kind == AXElement::Kind::Application) {
        if (!x_->cache.hasPid(e.pid)) return AXError::InvalidUIElement;
        if (AXError err = answers(e.pid, true); err != AXError::Success) return err;
        if (attribute != ax::Frontmost) return AXError::AttributeUnsupported;
        if (!on) return AXError::IllegalArgument;
        if (*on)
            if (auto app = x_->apps.find(e.pid)) app->activateWithOptions(kActivateIgnoringOtherApps);
        return AXError::Success;
    }
    if (e.kind != AXElement::Kind::Window)
        return e.isNull() ? AXError::IllegalArgument : AXError::AttributeUnsupported;
    const xcb_window_t window = windowOf(e);
    auto info = x_->cache.client(window);
    if (!info) return AXError::InvalidUIElement;
    if (AXError err = answers(info->pid, true); err != AXError::Success) return err;
    if (!on) return AXError::IllegalArgument;
    if (attribute == ax::Frontmost || attribute == ax::Focused) {
        if (*on) x_->activateWindow(window);
    } else if (attribute == ax::Minimized) {
        if (*on)
            x_->actions.minimize(window);
        else if (x_->cache.isMinimized(*info))
            x_->actions.restore(window);
    } else {
        return AXError::AttributeUnsupported;
    }
    return AXError::Success;
}

AXError X11Accessibility::performAction(const AXElement& e, const std::string& action) {
    if (e.kind != AXElement::Kind::Window && e.kind != AXElement::Kind::Child)
        return e.isNull() ? AXError::IllegalArgument : AXError::ActionUnsupported;
    const xcb_window_t window = windowOf(e);
    auto info = x_->cache.client(window);
    if (!info) return AXError::InvalidUIElement;
    if (AXError err = answers(info->pid, true); err != AXError::Success) return err;
    if (e.kind == AXElement::Kind::Window) {
        if (action != ax::ActionRaise) return AXError::ActionUnsupported;
        x_->raiseWindow(window);
        return AXError::Success;
    }
    const uint64_t part = e.id & 0xFFFFFFFFu;
    if (action != ax::ActionPress || (part != kCloseButton && part != kMinimizeButton))
        return AXError::ActionUnsupported;
    if (part == kCloseButton) {
        if (!info->deleteWindow) return AXError::ActionUnsupported;
        if (!info->allows(x_->atoms._NET_WM_ACTION_CLOSE)) return AXError::Success; // a disabled button
        if (x_->cache.root().supports(x_->atoms._NET_CLOSE_WINDOW))
            x_->actions.close(window);
        else
            x_->actions.deleteWindow(window);
    } else {
        if (!info->canMinimize(x_->atoms)) return AXError::ActionUnsupported;
        if (!info->allows(x_->atoms._NET_WM_ACTION_MINIMIZE)) return AXError::Success;
        x_->actions.minimize(window);
    }
    return AXError::Success;
}

AXError X11Accessibility::getPid(const AXElement& e, pid_t& out) {
    switch (e.kind) {
    case AXElement::Kind::None:
    case AXElement::Kind::SystemWide:
        return AXError::IllegalArgument;
    case AXElement::Kind::Application:
        if (!x_->cache.hasPid(e.pid)) return AXError::InvalidUIElement;
        out = e.pid;
        return AXError::Success;
    default: {
        auto info = x_->cache.client(windowOf(e));
        if (!info) return AXError::InvalidUIElement;
        if (info->pid <= 0) return AXError::Failure;
        out = info->pid;
        return AXError::Success;
    }
    }
}

uint32_t X11Accessibility::windowNumber(const AXElement& e) {
    return e.kind == AXElement::Kind::Window ? uint32_t(e.id) : 0;
}

std::shared_ptr<AXObserver> X11Accessibility::createObserver(pid_t pid, AXObserverCallback callback) {
    if (!x_->cache.hasPid(pid)) return nullptr;
    auto observer = std::make_shared<DesktopObserver>(pid, std::move(callback));
    x_->notifier->addObserver(observer);
    return observer;
}

} // namespace velora::x11
