// Notifications reach the main thread: windows created and destroyed, applications launched
// and terminated.
#include <unistd.h>

#include "platform/ax_names.h"
#include "x11_fixture.h"

namespace velora::test {
namespace {

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
