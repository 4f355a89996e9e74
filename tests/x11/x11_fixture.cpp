#include "x11_fixture.h"

#include <sys/socket.h>

#include <chrono>
#include <cstdlib>

#include "platform/ax_names.h"
#include "platform/x11/x11_keycodes.h"
#include "support/wait.h"

namespace velora::test {

FakeWindow::FakeWindow(const Options& options) {
    if (!x_.ok()) return;
    c_ = x_.connection();
    root_ = x_.root();
    protocols_ = x_.atom("WM_PROTOCOLS");
    ping_ = x_.atom("_NET_WM_PING");
    std::vector<xcb_atom_t> more;
    if (options.listsPing) more.push_back(ping_);
    window_ = x_.createClientWindow(
        {options.title, "fake", "VeloraFake", options.color, QRect(100, 100, 200, 150), more});
    thread_ = std::thread([this] { serve(); });
}

void FakeWindow::repaint(uint32_t color) {
    if (!c_) return;
    xcb_change_window_attributes(c_, window_, XCB_CW_BACK_PIXEL, &color);
    xcb_clear_area(c_, 0, window_, 0, 0, 0, 0);
    x_.sync();
}

FakeWindow::~FakeWindow() {
    if (!c_) return;
    // The closed connection ends the serving thread's wait; the server then destroys the window.
    ::shutdown(xcb_get_file_descriptor(c_), SHUT_RDWR);
    thread_.join();
}

void FakeWindow::setTitleBytes(const std::string& bytes) {
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, x_.atom("_NET_WM_NAME"), x_.atom("UTF8_STRING"),
                        8, uint32_t(bytes.size()), bytes.data());
    xcb_flush(c_);
}

void FakeWindow::destroy() {
    xcb_destroy_window(c_, window_);
    xcb_flush(c_);
}

void FakeWindow::serve() {
    while (xcb_generic_event_t* event = xcb_wait_for_event(c_)) {
        if ((event->response_type & 0x7F) == XCB_CLIENT_MESSAGE) {
            auto* m = reinterpret_cast<xcb_client_message_event_t*>(event);
            if (m->type == protocols_ && m->data.data32[0] == ping_) {
                pings_.fetch_add(1);
                if (answers_.load()) {
                    m->window = root_;
                    xcb_send_event(c_, 0, root_,
                                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                                   reinterpret_cast<const char*>(m));
                    xcb_flush(c_);
                }
            }
        }
        std::free(event);
    }
}

void X11Test::SetUp() {
    const char* shown = std::getenv("DISPLAY");
    if (!shown || !*shown) GTEST_SKIP() << "DISPLAY is not set: the X11 tests need a desktop";
    // No desktop entry matches the test's clients: bundle identifiers are their class names.
    setenv("XDG_DATA_HOME", dataHome.path().c_str(), 1);
    setenv("XDG_DATA_DIRS", dataHome.path().c_str(), 1);
    display = std::make_unique<XDisplay>();
    ASSERT_TRUE(display->ok()) << "cannot connect to " << shown;
    std::string error;
    desktop = X11Desktop::open(mainThread, error);
    ASSERT_TRUE(desktop) << error;
}

void X11Test::TearDown() {
    desktop.reset();
    mainThread.pump();
    display.reset();
}

bool X11Test::eventually(const std::function<bool()>& condition, double seconds) {
    return waitFor(condition, std::chrono::milliseconds(int64_t(seconds * 1000)), [&] { mainThread.pump(); });
}

uint32_t X11Test::waitForWindowOf(pid_t pid, double seconds) {
    auto& ax = desktop->accessibility();
    AXValue windows;
    const auto* list = std::get_if<std::vector<AXElement>>(&windows);
    eventually(
        [&] {
            const bool read =
                ax.copyAttributeValue(ax.createApplication(pid), ax::Windows, windows) == AXError::Success;
            list = std::get_if<std::vector<AXElement>>(&windows);
            return read && list && !list->empty();
        },
        seconds);
    return list && !list->empty() ? uint32_t(list->front().id) : 0;
}

bool X11Test::waitForWindow(uint32_t window, double seconds) {
    return eventually([&] { return windowElement(window).pid != 0; }, seconds);
}

AXElement X11Test::windowElement(uint32_t window) {
    AXElement e{AXElement::Kind::Window, 0, window};
    pid_t pid = 0;
    if (desktop->accessibility().getPid(e, pid) == AXError::Success) e.pid = pid;
    return e;
}

std::optional<WindowInfo> X11Test::listEntry(uint32_t window) {
    WindowInfoList list =
        desktop->windowServer().copyWindowInfo(kWindowListExcludeDesktopElements, kNullWindowID);
    if (list)
        for (const WindowInfo& info : *list)
            if (info.number == window) return info;
    return std::nullopt;
}

RunningApplicationRef X11Test::app(pid_t pid) {
    return desktop->workspace().runningApplicationWithProcessIdentifier(pid);
}

std::optional<std::string> X11Test::title(const AXElement& element) {
    AXValue v;
    const bool read = desktop->accessibility().copyAttributeValue(element, ax::Title, v) == AXError::Success;
    return read && std::holds_alternative<std::string>(v) ? std::optional(std::get<std::string>(v))
                                                          : std::nullopt;
}

bool X11Test::focus(uint32_t window) {
    AXElement e = windowElement(window);
    desktop->accessibility().setAttributeValue(e, ax::Focused, true);
    // Once the server names it, the desktop's event thread must have seen the report too:
    // a late report would otherwise answer a request the test makes next.
    return eventually([&] { return display->activeWindow() == window; }, 5.0) && desktop->sync();
}

void X11Test::key(int64_t virtualKey, bool press) {
    display->key(x11::xKeycodeForVirtualKey(virtualKey), press);
}

} // namespace velora::test
