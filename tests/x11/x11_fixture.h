#pragma once
// The X11 tests' fixture and tools: a desktop on the display the test command started,
// client programs started and ended by the test, windows of the test's own with chosen
// properties, and a connection of the test's own (XDisplay) that checks the server's view and
// drives the keyboard through XTest.
// Tests share the display with other suites, so each one works on its own clients only,
// known by pid or window.

#include <sys/types.h>
#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/x11/x11_desktop.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/x11/x_display.h"
#include "test_main_thread.h"

namespace velora::test {

// A top-level window made by the test with its own connection, painted in one colour by the
// server, answering pings (or not) from a thread of its own.
class FakeWindow {
  public:
    struct Options {
        std::string title = "Fake window";
        bool listsPing = false;    // _NET_WM_PING beside WM_DELETE_WINDOW in WM_PROTOCOLS
        uint32_t color = 0x336699; // 200 x 150 at (100, 100); class "VeloraFake", with _NET_WM_PID
    };
    explicit FakeWindow(const Options& options);
    ~FakeWindow();
    FakeWindow(const FakeWindow&) = delete;
    FakeWindow& operator=(const FakeWindow&) = delete;

    xcb_window_t id() const { return window_; }
    void setAnswering(bool answering) { answers_.store(answering); }
    void setTitleBytes(const std::string& bytes);
    // Draws the whole window in a new colour; returns once the server has drawn it.
    void repaint(uint32_t color);
    // Destroys the window (the connection stays).
    void destroy();
    int pingsSeen() const { return pings_.load(); }

  private:
    void serve();

    XDisplay x_; // a connection of its own, served by its own thread
    xcb_connection_t* c_ = nullptr;
    xcb_window_t root_ = 0, window_ = 0;
    xcb_atom_t protocols_ = 0, ping_ = 0;
    std::atomic<bool> answers_{true};
    std::atomic<int> pings_{0};
    std::thread thread_;
};

template <typename T> bool contains(const std::vector<T>& v, const T& x) {
    return std::find(v.begin(), v.end(), x) != v.end();
}

class X11Test : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Polls (pumping the main thread) until the condition holds; false on time-out.
    bool eventually(const std::function<bool()>& condition, double seconds = 10.0);
    // The first managed window of the process, once the desktop knows it; 0 on time-out.
    uint32_t waitForWindowOf(pid_t pid, double seconds = 15.0);
    // The managed window with that X id, once the desktop knows it.
    bool waitForWindow(uint32_t window, double seconds = 15.0);
    AXElement windowElement(uint32_t window);
    // The window server's entry for the window, if it lists it.
    std::optional<WindowInfo> listEntry(uint32_t window);
    RunningApplicationRef app(pid_t pid);
    std::optional<std::string> title(const AXElement& element);
    // Activates the window through the port and waits until the manager made it active and
    // the desktop has seen the report.
    bool focus(uint32_t window);
    // Presses or releases a virtual key.
    void key(int64_t virtualKey, bool press);

    TestMainThread mainThread;
    TempDir dataHome; // empty XDG data folders: no desktop entry matches the test's clients
    std::unique_ptr<X11Desktop> desktop;
    std::unique_ptr<XDisplay> display;
};

} // namespace velora::test
