// Notifications reach the main thread: windows created and destroyed, applications launched
// and terminated. And spaces: the EWMH desktops, numbered from 1.
#include <unistd.h>

#include <algorithm>

#include "platform/ax_names.h"
#include "x11_fixture.h"

namespace velora::test {
namespace {

template <typename T> bool contains(const std::vector<T>& v, const T& x) { return std::find(v.begin(), v.end(), x) != v.end(); }

using NotificationsTest = X11Test;

TEST_F(NotificationsTest, WindowsCreatedAndDestroyedAreAnnouncedOnTheMainThread) {
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

    FakeWindow second(FakeWindow::Options{});
    EXPECT_TRUE(eventually([&] { return contains(heard, {std::string(ax::WindowCreated), second.id()}); }));
    const uint32_t gone = first->id();
    first.reset();
    EXPECT_TRUE(eventually([&] { return contains(heard, {std::string(ax::ElementDestroyed), gone}); }));
    EXPECT_FALSE(offMainThread);
    // The destroyed element can still tell its role, so the window list can drop it.
    AXValue role;
    EXPECT_EQ(ax.copyAttributeValue(windowElement(gone), ax::Role, role), AXError::Success);
}

TEST_F(NotificationsTest, ApplicationsLaunchedAndTerminatedAreAnnounced) {
    struct Recorder final : WorkspaceObserver {
        std::vector<pid_t> launched, terminated;
        void applicationLaunched(pid_t pid) override { launched.push_back(pid); }
        void applicationTerminated(pid_t pid) override { terminated.push_back(pid); }
        void activeSpaceChanged() override {}
    } recorder;
    desktop->workspace().addObserver(&recorder);
    auto xeyes = std::make_unique<ChildProcess>(std::vector<std::string>{"xeyes"});
    const pid_t pid = xeyes->pid();
    EXPECT_TRUE(eventually([&] { return contains(recorder.launched, pid); }));
    xeyes.reset();
    EXPECT_TRUE(eventually([&] { return contains(recorder.terminated, pid); }));
    EXPECT_EQ(desktop->workspace().runningApplicationWithProcessIdentifier(pid), nullptr);
    desktop->workspace().removeObserver(&recorder);
}

TEST_F(NotificationsTest, AWindowsSpaceIsItsDesktopNumberedFromOne) {
    FakeWindow fake(FakeWindow::Options{});
    ASSERT_TRUE(waitForWindow(fake.id()));
    auto& ws = desktop->windowServer();
    ASSERT_TRUE(eventually([&] { return ws.windowSpace(fake.id()) == 1; }));
    EXPECT_TRUE(contains(ws.spaceWindowList(1), fake.id()));

    display->moveToDesktop(fake.id(), 2);
    EXPECT_TRUE(eventually([&] { return ws.windowSpace(fake.id()) == 3; }));
    EXPECT_TRUE(contains(ws.spaceWindowList(3), fake.id()));
    EXPECT_FALSE(contains(ws.spaceWindowList(1), fake.id()));
    // Not on the current desktop: listed, but not on screen.
    auto list = ws.copyWindowInfo(kWindowListExcludeDesktopElements, kNullWindowID);
    ASSERT_TRUE(list);
    auto it = std::find_if(list->begin(), list->end(), [&](const WindowInfo& w) { return w.number == fake.id(); });
    ASSERT_NE(it, list->end());
    EXPECT_FALSE(it->isOnscreen);

    // A window on every desktop is on each space.
    display->moveToDesktop(fake.id(), 0xFFFFFFFF);
    EXPECT_TRUE(eventually([&] { return contains(ws.spaceWindowList(1), fake.id()) && contains(ws.spaceWindowList(2), fake.id()); }));
    EXPECT_EQ(ws.windowSpace(fake.id()), 1);
    EXPECT_TRUE(ws.spaceWindowList(0).empty());
    EXPECT_TRUE(ws.spaceWindowList(99).empty());
}

} // namespace
} // namespace velora::test
