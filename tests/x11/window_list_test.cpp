// The window-server list and the accessibility windows agree with what the server reports,
// and their changes reach the main thread: windows created and destroyed, applications
// launched and terminated.
#include <unistd.h>

#include "model/vl_element.h"
#include "platform/ax_names.h"
#include "platform/linux/desktop_entries.h"
#include "platform/platform.h"
#include "support/file_text.h"
#include "x11_fixture.h"

namespace velora::test {
namespace {

using WindowListTest = X11Test;

TEST_F(WindowListTest, ClientsAppearAlikeInTheWindowListTheAccessibilityTreeAndTheServer) {
    const std::string name = "velora-list-" + std::to_string(getpid());
    ChildProcess xterm({"xterm", "-T", name});
    const uint32_t window = waitForWindowOf(xterm.pid());
    ASSERT_NE(window, 0u);
    AXElement element = windowElement(window);
    EXPECT_EQ(title(element), name);
    AXValue position, size;
    auto& ax = desktop->accessibility();
    ASSERT_EQ(ax.copyAttributeValue(element, ax::Position, position), AXError::Success);
    ASSERT_EQ(ax.copyAttributeValue(element, ax::SizeAttr, size), AXError::Success);

    // The window server's entry: the same owner, title and bounds (the matcher compares them
    // exactly), and the bounds the server gives the client.
    std::optional<WindowInfo> info = listEntry(window);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->ownerPID, xterm.pid());
    EXPECT_EQ(info->name, name);
    EXPECT_TRUE(info->isOnscreen);
    const Point p = std::get<Point>(position);
    const Size s = std::get<Size>(size);
    EXPECT_EQ(info->bounds, (Rect{p.x, p.y, s.width, s.height}));
    const QRect server = display->rootGeometry(window);
    EXPECT_EQ(info->bounds, (Rect{double(server.x()), double(server.y()), double(server.width()),
                                  double(server.height())}));
    // Kept above the others from the manager's menu, it stays an ordinary window.
    display->setState(window, "_NET_WM_STATE_ABOVE", true);
    ASSERT_TRUE(eventually([&] { return display->hasState(window, "_NET_WM_STATE_ABOVE"); }));
    info = listEntry(window);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->layer, 0);
    ASSERT_TRUE(app(xterm.pid()));
    EXPECT_EQ(app(xterm.pid())->bundleIdentifier(), "XTerm");
    EXPECT_TRUE(app(xterm.pid())->icon());
}

TEST_F(WindowListTest, ADesktopEntryMatchingTheClassNamesTheApplication) {
    const auto file = dataHome / "applications" / "org.velora.TestClock.desktop";
    writeFile(file,
              "[Desktop Entry]\nType=Application\nName=Test Clock\nExec=xclock\nIcon=velora-test-clock\n"
              "StartupWMClass=XClock\n");
    DesktopEntries::shared().rescan(); // the index was built when the desktop opened
    ChildProcess xclock({"xclock"});
    ASSERT_NE(waitForWindowOf(xclock.pid()), 0u);
    auto application = app(xclock.pid());
    ASSERT_TRUE(application);
    EXPECT_EQ(application->bundleIdentifier(), "org.velora.TestClock");
    EXPECT_EQ(application->localizedName(), "Test Clock");
    EXPECT_EQ(application->bundlePath(), file.string());
}

// Two windows of one process alike in title and bounds (maximised twins, as a terminal
// server's or a browser's on two desktops): the matcher gives each record its own window.
TEST_F(WindowListTest, TwinWindowsOfOneProcessAreMatchedEachToItsOwn) {
    FakeWindow first({"Twin"}), second({"Twin"});
    ASSERT_TRUE(waitForWindow(first.id()) && waitForWindow(second.id()));
    for (const uint32_t w : {first.id(), second.id()}) {
        display->setState(w, "_NET_WM_STATE_MAXIMIZED_VERT", true);
        display->setState(w, "_NET_WM_STATE_MAXIMIZED_HORZ", true);
    }
    ASSERT_TRUE(eventually([&] {
        auto a = listEntry(first.id()), b = listEntry(second.id());
        return a && b && a->bounds == b->bounds &&
               display->hasState(first.id(), "_NET_WM_STATE_MAXIMIZED_HORZ") &&
               display->hasState(second.id(), "_NET_WM_STATE_MAXIMIZED_HORZ");
    }));
    const Platform ports = desktop->platform(nullptr, nullptr);
    installPlatform(&ports);
    const WindowInfoList list =
        windowServer().copyWindowInfo(kWindowListExcludeDesktopElements, kNullWindowID);
    for (const uint32_t w : {first.id(), second.id()}) {
        VLElementRef record = VLElement::elementWithElementRef(windowElement(w));
        EXPECT_TRUE(record->findPIDandWID(list));
        EXPECT_EQ(record->wid(), int32_t(w));
    }
    installPlatform(nullptr);
}

using NotificationsTest = X11Test;

TEST_F(NotificationsTest, WindowsAndApplicationsComingAndGoingAreAnnouncedOnTheMainThread) {
    auto first = std::make_unique<FakeWindow>(FakeWindow::Options{});
    ASSERT_TRUE(waitForWindow(first->id()));
    auto& ax = desktop->accessibility();
    std::vector<std::pair<std::string, uint32_t>> heard;
    bool offMainThread = false;
    auto observer = ax.createObserver(getpid(), [&](AXObserver&, const AXElement& e, const std::string& n) {
        heard.emplace_back(n, e.kind == AXElement::Kind::Window ? uint32_t(e.id) : 0u);
        offMainThread |= !mainThread.isMainThread();
    });
    ASSERT_TRUE(observer);
    const AXElement application = ax.createApplication(getpid());
    ASSERT_EQ(observer->addNotification(application, ax::WindowCreated), AXError::Success);
    ASSERT_EQ(observer->addNotification(application, ax::ElementDestroyed), AXError::Success);
    observer->scheduleOnMainThread();
    struct Recorder final : WorkspaceObserver {
        std::vector<pid_t> launched, terminated;
        void applicationLaunched(pid_t pid) override { launched.push_back(pid); }
        void applicationTerminated(pid_t pid) override { terminated.push_back(pid); }
        void activeSpaceChanged() override {}
    } recorder;
    desktop->workspace().addObserver(&recorder);

    FakeWindow second(FakeWindow::Options{});
    EXPECT_TRUE(eventually([&] { return contains(heard, {std::string(ax::WindowCreated), second.id()}); }));
    const uint32_t gone = first->id();
    first.reset();
    EXPECT_TRUE(eventually([&] { return contains(heard, {std::string(ax::ElementDestroyed), gone}); }));
    EXPECT_FALSE(offMainThread);
    // The destroyed element can still tell its role, so the window list can drop it.
    AXValue role;
    EXPECT_EQ(ax.copyAttributeValue(windowElement(gone), ax::Role, role), AXError::Success);

    auto xeyes = std::make_unique<ChildProcess>(std::vector<std::string>{"xeyes"});
    const pid_t pid = xeyes->pid();
    EXPECT_TRUE(eventually([&] { return contains(recorder.launched, pid); }));
    xeyes.reset();
    EXPECT_TRUE(eventually([&] { return contains(recorder.terminated, pid); }));
    EXPECT_EQ(app(pid), nullptr);
    desktop->workspace().removeObserver(&recorder);
}

} // namespace
} // namespace velora::test
