#include "platform/x11/x11_desktop.h"

#include <unistd.h>
#include <xcb/xinput.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "platform/x11/x11_accessibility.h"
#include "platform/x11/x11_context.h"
#include "platform/x11/x11_event_loop.h"
#include "platform/x11/x11_input.h"
#include "platform/x11/x11_reply.h"
#include "platform/x11/x11_scripting.h"
#include "platform/x11/x11_sound.h"
#include "platform/x11/x11_window_server.h"
#include "platform/x11/x11_workspace.h"

namespace velora {

using namespace x11;

struct X11Desktop::Ports {
    explicit Ports(const std::shared_ptr<X11Context>& x)
        : accessibility(x), windowServer(x), workspace(x), input(x), sound(x->c) {}
    X11Accessibility accessibility;
    X11WindowServer windowServer;
    X11Workspace workspace;
    X11Input input;
    X11Sound sound;
    X11Scripting scripting;
};

namespace {

std::string hostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

// XInput 2.1 or later: raw events reach a client even while another one grabs the keyboard.
bool setUpXInput(X11Context& x) {
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(x.c, &xcb_input_id);
    if (!ext || !ext->present) return false;
    x.xinputOpcode = ext->major_opcode;
    auto version = takeReply(x.c, xcb_input_xi_query_version(x.c, 2, 1), xcb_input_xi_query_version_reply);
    return version &&
           (version->major_version > 2 || (version->major_version == 2 && version->minor_version >= 1));
}

// A compositing manager owns the selection named after the screen it composites.
xcb_atom_t compositorSelection(xcb_connection_t* c, int screenNumber) {
    const std::string name = "_NET_WM_CM_S" + std::to_string(screenNumber);
    auto reply =
        takeReply(c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.c_str()), xcb_intern_atom_reply);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_window_t makeOwnWindow(X11Context& x) {
    const xcb_window_t window = xcb_generate_id(x.c);
    const uint32_t overrideRedirect = 1;
    xcb_create_window(x.c, XCB_COPY_FROM_PARENT, window, x.root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT, &overrideRedirect);
    return window;
}

} // namespace

X11Desktop::X11Desktop() = default;

std::unique_ptr<X11Desktop> X11Desktop::open(MainThreadPort& mainThread, std::string& error,
                                             const char* displayName) {
    const char* name = displayName ? displayName : std::getenv("DISPLAY");
    const std::string shown = name && *name ? name : "(DISPLAY is not set)";
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(displayName, &screenNumber);
    if (!c || xcb_connection_has_error(c)) {
        if (c) xcb_disconnect(c);
        error = "cannot open the X display " + shown;
        return nullptr;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem) {
        xcb_disconnect(c);
        error = "the X display " + shown + " has no screen " + std::to_string(screenNumber);
        return nullptr;
    }

    std::unique_ptr<X11Desktop> desktop(new X11Desktop);
    desktop->mainThread_ = &mainThread;
    auto context = std::make_shared<X11Context>(c, screens.data, mainThread);
    if (!context->atoms.intern(c)) {
        error = "the X display " + shown + " does not answer";
        return nullptr;
    }
    context->localHost = hostName();
    context->displayName = name ? name : "";
    context->ownWindow = makeOwnWindow(*context);
    context->compositorSelection = compositorSelection(c, screenNumber);
    context->hasXInput = setUpXInput(*context);
    context->keyboard.open();
    context->pictures.start();
    desktop->context_ = context;
    desktop->ports_ = std::make_unique<Ports>(context);
    desktop->loop_ = std::make_unique<EventLoop>(context);
    desktop->loop_->start();
    return desktop;
}

X11Desktop::~X11Desktop() {
    if (!context_) return;
    shutdown();
    loop_.reset();
    ports_.reset();
    context_.reset();
}

AccessibilityPort& X11Desktop::accessibility() {
    return ports_->accessibility;
}
WindowServerPort& X11Desktop::windowServer() {
    return ports_->windowServer;
}
WorkspacePort& X11Desktop::workspace() {
    return ports_->workspace;
}
InputPort& X11Desktop::input() {
    return ports_->input;
}
SoundPort& X11Desktop::sound() {
    return ports_->sound;
}
ScriptingPort& X11Desktop::scripting() {
    return ports_->scripting;
}

Platform X11Desktop::platform(HttpPort* http, LoginItemsPort* loginItems) {
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
    p.panelSurface = nullptr; // the panel is a Qt window (override-redirect) on X11
    return p;
}

void X11Desktop::setConnectionLostHandler(std::function<void(const std::string&)> handler) {
    loop_->setConnectionLostHandler(std::move(handler));
}

bool X11Desktop::isConnected() const {
    return !context_->lost.load() && !xcb_connection_has_error(context_->c);
}

void X11Desktop::shutdown() {
    context_->taps.shutdown();
    context_->responsiveness.shutdown();
}

bool X11Desktop::sync(double timeoutSeconds) {
    return loop_->sync(timeoutSeconds);
}

} // namespace velora
