#include "platform/wayland/wayland_desktop.h"

#include <cstdio>
#include <vector>

#include "platform/linux/theme_sound.h"
#include "platform/trace.h"
#include "platform/wayland/sway_binding_sync.h"
#include "platform/wayland/wl_context.h"
#include "platform/wayland/wl_ports.h"
#include "platform/wayland/wl_session.h"
#include "platform/wayland/wl_trace.h"

// The shared trace, named before wl's own trace() comes into scope.
namespace marks = velora::trace;

namespace velora {

using namespace wl;

struct WaylandDesktop::Ports {
    explicit Ports(const std::shared_ptr<WlContext>& c)
        : accessibility(c), windowServer(c), workspace(c), input(c), panelSurface(c) {}
    WlAccessibility accessibility;
    WlWindowServer windowServer;
    WlWorkspace workspace;
    WlInput input;
    ThemeSound sound; // Wayland has no bell a client can ring
    WlScripting scripting;
    WlPanelSurface panelSurface;
};

namespace {

// Binds through the IPC, with a trace mark for the tests and a line of the backend's log.
std::shared_ptr<SwayBindingSync> bindingSync(const std::weak_ptr<WlContext>& weak) {
    return std::make_shared<SwayBindingSync>(
        [weak](const std::string& commands) -> std::optional<std::string> {
            auto context = weak.lock();
            if (!context || context->lost.load()) return std::nullopt;
            marks::mark("bindings");
            auto reply = context->ipc.request(SwayMessage::RunCommand, commands);
            wl::trace("bindings: %s -> %s", commands.c_str(), reply ? reply->c_str() : "(no answer)");
            return reply;
        });
}

} // namespace

WaylandDesktop::WaylandDesktop() = default;

std::unique_ptr<WaylandDesktop> WaylandDesktop::open(MainThreadPort& mainThread, Failure& failure,
                                                     std::string& error) {
    auto context = std::make_shared<WlContext>(mainThread);
    WlSession::Failure why = WlSession::Failure::None;
    auto session = WlSession::connect(*context, why, error);
    if (!session) {
        failure = why == WlSession::Failure::NoDisplay ? Failure::NoDisplay : Failure::Unsupported;
        return nullptr;
    }
    std::unique_ptr<WaylandDesktop> desktop(new WaylandDesktop);
    desktop->mainThread_ = &mainThread;
    context->session = session.get();
    auto bindings = bindingSync(context);
    WlSession* s = session.get();
    // Without sway's IPC the compositor's own configuration binds the keys.
    const bool bindsThroughIpc = context->hasSwayIpc;
    context->taps.setHooks(TapHub::Hooks{
        [bindings, bindsThroughIpc](const std::vector<InterceptedKey>& keys) {
            return bindsThroughIpc ? bindings->apply(keys) : TapHub::Refusal{};
        },
        [s] { s->releaseKeyboard(); },
        [bindings] { bindings->forget(); },
    });
    desktop->context_ = context;
    desktop->session_ = std::move(session);
    desktop->ports_ = std::make_unique<Ports>(context);
    if (!context->hasSwayIpc)
        std::fprintf(stderr,
                     "velora: this compositor takes no key bindings from programs: the hot keys are its own "
                     "bindings running 'velora --trigger NAME' (the lines for its configuration: "
                     "Preferences, or the documentation's wayland.md)\n");
    failure = Failure::None;
    return desktop;
}

WaylandDesktop::~WaylandDesktop() {
    if (!context_) return;
    shutdown();
    session_->stop();
    context_->taps.setHooks({});
    context_->session = nullptr;
    session_.reset();
}

Platform WaylandDesktop::platform(HttpPort* http, LoginItemsPort* loginItems) {
    Platform p;
    p.accessibility = &ports_->accessibility;
    p.windowServer = &ports_->windowServer;
    p.workspace = &ports_->workspace;
    p.input = &ports_->input;
    p.loginItems = loginItems;
    p.scripting = &ports_->scripting;
    p.mainThread = mainThread_;
    p.http = http;
    p.sound = &ports_->sound;
    p.panelSurface = &ports_->panelSurface;
    return p;
}

void WaylandDesktop::setConnectionLostHandler(std::function<void(const std::string&)> handler) {
    session_->setLostHandler(std::move(handler));
}

void WaylandDesktop::start() {
    session_->start();
}

bool WaylandDesktop::isConnected() const {
    return !context_->lost.load();
}

void WaylandDesktop::shutdown() {
    context_->taps.shutdown();
    context_->notifier->stop();
    // Hands the keyboard back and flushes before the program ends: a process that exits
    // holding an exclusive overlay leaves no window with the keyboard on sway.
    session_->stop();
}

} // namespace velora
