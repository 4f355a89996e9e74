#include "x11_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/ax_names.h"
#include "platform/x11/x11_keycodes.h"

extern char** environ;

namespace velora::test {

namespace {

std::vector<char*> cArgs(std::vector<std::string>& argv) {
    std::vector<char*> out;
    for (auto& a : argv) out.push_back(a.data());
    out.push_back(nullptr);
    return out;
}

} // namespace

PrivateServer::PrivateServer() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);  // a dup keeps no close-on-exec flag
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // -noreset: a probe may be the server's last client for a moment, and a server that resets
    // then refuses the next connection.
    std::vector<std::string> argv{"Xvfb", "-displayfd", "3", "-noreset", "-nolisten", "tcp",
                                  "-screen", "0", "320x240x24"};
    auto args = cArgs(argv);
    if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    // The server writes its display number once it listens.
    std::string number;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid_ > 0 && std::chrono::steady_clock::now() < end) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char ch;
        if (read(fds[0], &ch, 1) != 1 || ch == '\n') break;
        number += ch;
    }
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
}

PrivateServer::~PrivateServer() { end(); }

void PrivateServer::end() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

FakeWindow::FakeWindow(const Options& options) {
    if (!x_.ok()) return;
    c_ = x_.connection();
    root_ = x_.root();
    utf8_ = x_.atom("UTF8_STRING");
    netWmName_ = x_.atom("_NET_WM_NAME");
    protocols_ = x_.atom("WM_PROTOCOLS");
    ping_ = x_.atom("_NET_WM_PING");
    wake_ = x_.atom("_VELORA_TEST_WAKE");
    const xcb_atom_t deleteWindow = x_.atom("WM_DELETE_WINDOW");
    const xcb_atom_t pidAtom = x_.atom("_NET_WM_PID");

    window_ = xcb_generate_id(c_);
    const uint32_t values[] = {options.color, XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, root_, options.x, options.y, 200, 150, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK,
                      values);
    const std::string name = options.titleBytes.empty() ? options.title : options.titleBytes;
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, netWmName_, utf8_, 8, uint32_t(name.size()), name.data());
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        uint32_t(options.title.size()), options.title.data());
    const std::string wmClass("fake\0VeloraFake\0", 16);
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        uint32_t(wmClass.size()), wmClass.data());
    std::vector<xcb_atom_t> protocols{deleteWindow};
    if (options.listsPing) protocols.push_back(ping_);
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, protocols_, XCB_ATOM_ATOM, 32, uint32_t(protocols.size()),
                        protocols.data());
    const uint32_t pid = uint32_t(getpid());
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, pidAtom, XCB_ATOM_CARDINAL, 32, 1, &pid);
    xcb_map_window(c_, window_);
    xcb_flush(c_);
    thread_ = std::thread([this] { serve(); });
}

FakeWindow::~FakeWindow() {
    if (!c_) return;
    if (thread_.joinable()) {
        // A message to the window wakes the serving thread, which then sees stop_.
        stop_.store(true);
        xcb_client_message_event_t e;
        std::memset(&e, 0, sizeof e);
        e.response_type = XCB_CLIENT_MESSAGE;
        e.format = 32;
        e.window = window_;
        e.type = wake_;
        xcb_send_event(c_, 0, window_, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&e));
        xcb_flush(c_);
        thread_.join();
    }
    xcb_destroy_window(c_, window_);
}

void FakeWindow::setTitleBytes(const std::string& bytes) {
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, netWmName_, utf8_, 8, uint32_t(bytes.size()), bytes.data());
    xcb_flush(c_);
}

void FakeWindow::destroy() {
    xcb_destroy_window(c_, window_);
    xcb_flush(c_);
}

void FakeWindow::serve() {
    while (!stop_.load()) {
        xcb_generic_event_t* event = xcb_wait_for_event(c_);
        if (!event) return;
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
    if (!shown || !*shown)
        GTEST_SKIP() << "DISPLAY is not set: the X11 tests need a desktop (run them through scripts/test.sh, "
                        "or eval \"$(scripts/desktop.sh start)\" first)";
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
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        mainThread.pump();
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

uint32_t X11Test::waitForWindowOf(pid_t pid, double seconds) {
    uint32_t found = 0;
    eventually(
        [&] {
            AXElement app = desktop->accessibility().createApplication(pid);
            AXValue windows;
            if (app.isNull() || desktop->accessibility().copyAttributeValue(app, ax::Windows, windows) != AXError::Success)
                return false;
            auto* list = std::get_if<std::vector<AXElement>>(&windows);
            if (!list || list->empty()) return false;
            found = uint32_t(list->front().id);
            return true;
        },
        seconds);
    return found;
}

bool X11Test::waitForWindow(uint32_t window, double seconds) {
    return eventually(
        [&] {
            AXElement e{AXElement::Kind::Window, 0, window};
            return desktop->accessibility().getPid(e, e.pid) == AXError::Success;
        },
        seconds);
}

AXElement X11Test::windowElement(uint32_t window) {
    AXElement e{AXElement::Kind::Window, 0, window};
    pid_t pid = 0;
    if (desktop->accessibility().getPid(e, pid) == AXError::Success) e.pid = pid;
    return e;
}

std::optional<std::string> X11Test::title(const AXElement& element) {
    AXValue v;
    if (desktop->accessibility().copyAttributeValue(element, ax::Title, v) != AXError::Success) return std::nullopt;
    if (auto* s = std::get_if<std::string>(&v)) return *s;
    return std::nullopt;
}

bool X11Test::focus(uint32_t window) {
    AXElement e = windowElement(window);
    desktop->accessibility().setAttributeValue(e, ax::Focused, true);
    return eventually([&] { return display->activeWindow() == window; }, 5.0);
}

void X11Test::key(int64_t virtualKey, bool press) { display->key(x11::xKeycodeForVirtualKey(virtualKey), press); }

void X11Test::tap(int64_t virtualKey, const std::vector<int64_t>& modifierKeys) {
    for (int64_t m : modifierKeys) key(m, true);
    key(virtualKey, true);
    key(virtualKey, false);
    for (auto it = modifierKeys.rbegin(); it != modifierKeys.rend(); ++it) key(*it, false);
}

} // namespace velora::test
