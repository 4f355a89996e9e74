// Notifications reach the main thread: windows created and destroyed, applications launched
// and terminated. And spaces: the EWMH desktops, numbered from 1.
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/ax_names.h"
#include "x11_fixture.h"

namespace velora::test {
namespace {

struct Recorder final : WorkspaceObserver {
    std::vector<pid_t> launched, terminated;
    int spaceChanges = 0;
    void applicationLaunched(pid_t pid) override { launched.push_back(pid); }
    void applicationTerminated(pid_t pid) override { terminated.push_back(pid); }
    void activeSpaceChanged() override { ++spaceChanges; }
};

template <typename T> bool contains(const std::vector<T>& v, const T& x) { return std::find(v.begin(), v.end(), x) != v.end(); }

class NotificationsTest : public X11Test {
protected:
    // _NET_WM_DESKTOP 0xFFFFFFFF: on every desktop.
    void sendToAllDesktops(uint32_t window) {
        xcb_connection_t* c = display->connection();
        const char* name = "_NET_WM_DESKTOP";
        auto reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
        ASSERT_TRUE(reply);
        xcb_client_message_event_t e;
        std::memset(&e, 0, sizeof e);
        e.response_type = XCB_CLIENT_MESSAGE;
        e.format = 32;
        e.window = window;
        e.type = reply->atom;
        std::free(reply);
        e.data.data32[0] = 0xFFFFFFFF;
        e.data.data32[1] = 2;
        xcb_send_event(c, 0, display->root(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&e));
        display->sync();
    }
};

TEST_F(NotificationsTest, WindowsCreatedAndDestroyedAreAnnouncedOnTheMainThread) {
    FakeWindow::Spec spec;
    auto first = std::make_unique<FakeWindow>(spec);
    ASSERT_TRUE(waitForWindow(first->id()));
    auto& ax = desktop->accessibility();
    struct Heard {
        AXElement element;
        std::string name;
        bool onMainThread;
    };
    std::vector<Heard> heard;
    auto observer = ax.createObserver(getpid(), [&](AXObserver&, const AXElement& e, const std::string& n) {
        heard.push_back({e, n, mainThread.isMainThread()});
    });
    ASSERT_TRUE(observer);
    const AXElement application = ax.createApplication(getpid());
    ASSERT_EQ(observer->addNotification(application, ax::WindowCreated), AXError::Success);
    ASSERT_EQ(observer->addNotification(application, ax::ElementDestroyed), AXError::Success);
    EXPECT_EQ(observer->addNotification(application, "AXTitleChanged"), AXError::NotificationUnsupported);
    observer->scheduleOnMainThread();

    FakeWindow second(spec);
    const auto created = [&](uint32_t w) {
        return std::any_of(heard.begin(), heard.end(), [&](const Heard& h) {
            return h.name == ax::WindowCreated && h.element.id == w && h.element.kind == AXElement::Kind::Window;
        });
    };
    EXPECT_TRUE(eventually([&] { return created(second.id()); }));
    const uint32_t gone = first->id();
    first.reset();
    EXPECT_TRUE(eventually([&] {
        return std::any_of(heard.begin(), heard.end(),
                           [&](const Heard& h) { return h.name == ax::ElementDestroyed && h.element.id == gone; });
    }));
    EXPECT_TRUE(std::all_of(heard.begin(), heard.end(), [](const Heard& h) { return h.onMainThread; }));
    // The destroyed element can still tell its role, so the window list can drop it.
    AXValue role;
    EXPECT_EQ(ax.copyAttributeValue(windowElement(gone), ax::Role, role), AXError::Success);

    // Removed notifications are not delivered.
    observer->removeNotification(application, ax::WindowCreated);
    heard.clear();
    FakeWindow third(spec);
    ASSERT_TRUE(waitForWindow(third.id()));
    mainThread.pump();
    EXPECT_FALSE(created(third.id()));
}

TEST_F(NotificationsTest, ApplicationsLaunchedAndTerminatedAreAnnounced) {
    Recorder recorder;
    desktop->workspace().addObserver(&recorder);
    pid_t pid = 0;
    {
        ChildProcess xeyes({"xeyes"});
        pid = xeyes.pid();
        EXPECT_TRUE(eventually([&] { return contains(recorder.launched, pid); }));
    }
    EXPECT_TRUE(eventually([&] { return contains(recorder.terminated, pid); }));
    EXPECT_EQ(desktop->workspace().runningApplicationWithProcessIdentifier(pid), nullptr);
    desktop->workspace().removeObserver(&recorder);
    ChildProcess later({"xeyes"});
    ASSERT_TRUE(waitForWindowOf(later.pid()));
    mainThread.pump();
    EXPECT_FALSE(contains(recorder.launched, later.pid()));
}

TEST_F(NotificationsTest, AWindowsSpaceIsItsDesktopNumberedFromOne) {
    FakeWindow::Spec spec;
    FakeWindow fake(spec);
    ASSERT_TRUE(waitForWindow(fake.id()));
    auto& ws = desktop->windowServer();
    const std::string id = std::to_string(fake.id());
    ASSERT_TRUE(eventually([&] { return ws.windowSpace(fake.id()) == 1; }));
    EXPECT_TRUE(contains(ws.spaceWindowList(1), fake.id()));

    runAndRead({"wmctrl", "-i", "-r", id, "-t", "2"});
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
    sendToAllDesktops(fake.id());
    EXPECT_TRUE(eventually([&] { return contains(ws.spaceWindowList(1), fake.id()) && contains(ws.spaceWindowList(2), fake.id()); }));
    EXPECT_EQ(ws.windowSpace(fake.id()), 1);
    EXPECT_TRUE(ws.spaceWindowList(0).empty());
    EXPECT_TRUE(ws.spaceWindowList(99).empty());
}

} // namespace
} // namespace velora::test
