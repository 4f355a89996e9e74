// The window-server list and the accessibility windows agree with what the X tools report.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/ax_names.h"
#include "platform/linux/desktop_entries.h"
#include "x11_fixture.h"

namespace velora::test {
namespace {


// wmctrl -lp: "0x00c0000a  0 1234   host title"; the pid column of a window.
std::optional<pid_t> wmctrlPid(uint32_t window) {
    std::istringstream lines(runAndRead({"wmctrl", "-lp"}));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string id, desktop;
        long pid = 0;
        fields >> id >> desktop >> pid;
        if (std::stoul(id, nullptr, 16) == window) return pid_t(pid);
    }
    return std::nullopt;
}

std::optional<WindowInfo> entry(const WindowInfoList& list, uint32_t window) {
    if (!list) return std::nullopt;
    for (const WindowInfo& info : *list)
        if (info.number == window) return info;
    return std::nullopt;
}

using WindowListTest = X11Test;

TEST_F(WindowListTest, AClientAppearsAlikeInTheWindowListTheAccessibilityTreeAndXprop) {
    const std::string name = "velora-list-" + std::to_string(getpid());
    ChildProcess xterm({"xterm", "-T", name});
    const uint32_t window = waitForWindowOf(xterm.pid());
    ASSERT_NE(window, 0u);
    ASSERT_EQ(wmctrlPid(window), xterm.pid());

    AXElement element = windowElement(window);
    EXPECT_EQ(element.pid, xterm.pid());
    EXPECT_EQ(title(element), name);
    AXValue role, subrole, position, size;
    auto& ax = desktop->accessibility();
    EXPECT_EQ(ax.copyAttributeValue(element, ax::Role, role), AXError::Success);
    EXPECT_EQ(std::get<std::string>(role), ax::RoleWindow);
    EXPECT_EQ(ax.copyAttributeValue(element, ax::Subrole, subrole), AXError::Success);
    EXPECT_EQ(std::get<std::string>(subrole), ax::SubroleStandardWindow);
    ASSERT_EQ(ax.copyAttributeValue(element, ax::Position, position), AXError::Success);
    ASSERT_EQ(ax.copyAttributeValue(element, ax::SizeAttr, size), AXError::Success);

    // The window server's entry: the same number, owner, title and bounds (the matcher
    // compares them exactly), and the bounds xwininfo reports for the client.
    WindowInfoList list = desktop->windowServer().copyWindowInfo(kWindowListExcludeDesktopElements, kNullWindowID);
    std::optional<WindowInfo> info = entry(list, window);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->ownerPID, xterm.pid());
    EXPECT_EQ(info->layer, 0);
    EXPECT_EQ(info->name, name);
    EXPECT_TRUE(info->isOnscreen);
    const Point p = std::get<Point>(position);
    const Size s = std::get<Size>(size);
    EXPECT_EQ(info->bounds, (Rect{p.x, p.y, s.width, s.height}));
    EXPECT_EQ(xwininfoGeometry(window), info->bounds);
    Rect bounds;
    ASSERT_TRUE(desktop->windowServer().windowBounds(window, bounds));
    EXPECT_EQ(bounds, info->bounds);

    // The running application: found by pid, named by its class.
    RunningApplicationRef app = desktop->workspace().runningApplicationWithProcessIdentifier(xterm.pid());
    ASSERT_TRUE(app);
    EXPECT_EQ(app->bundleIdentifier(), "XTerm");
    EXPECT_EQ(app->localizedName(), "XTerm");
    EXPECT_EQ(app->executablePath(), "/usr/bin/xterm");
    EXPECT_TRUE(app->isFinishedLaunching());
    ASSERT_TRUE(app->icon());
    auto apps = desktop->workspace().runningApplications();
    EXPECT_TRUE(std::any_of(apps.begin(), apps.end(), [&](auto& a) { return a->processIdentifier() == xterm.pid(); }));
}

TEST_F(WindowListTest, TheOwnerOfAWindowWithoutAPidPropertyComesFromTheResourceExtension) {
    ChildProcess xeyes({"xeyes"});
    const uint32_t window = waitForWindowOf(xeyes.pid());
    ASSERT_NE(window, 0u) << "xeyes sets no _NET_WM_PID; its owner must still be known";
    EXPECT_EQ(runAndRead({"xprop", "-id", std::to_string(window), "_NET_WM_PID"}).find("not found") != std::string::npos,
              true);
    pid_t pid = 0;
    EXPECT_EQ(desktop->accessibility().getPid(windowElement(window), pid), AXError::Success);
    EXPECT_EQ(pid, xeyes.pid());
    std::optional<WindowInfo> info =
        entry(desktop->windowServer().copyWindowInfo(kWindowListExcludeDesktopElements, kNullWindowID), window);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->ownerPID, xeyes.pid());
    auto app = desktop->workspace().runningApplicationWithProcessIdentifier(xeyes.pid());
    ASSERT_TRUE(app);
    EXPECT_EQ(app->bundleIdentifier(), "XEyes");
}

TEST_F(WindowListTest, ADesktopEntryMatchingTheClassNamesTheApplication) {
    std::filesystem::create_directories(dataHome / "applications");
    {
        std::ofstream entry(dataHome / "applications" / "org.velora.TestClock.desktop");
        entry << "[Desktop Entry]\nType=Application\nName=Test Clock\nExec=xclock\nIcon=velora-test-clock\n"
                 "StartupWMClass=XClock\n";
    }
    DesktopEntries::shared().rescan();  // the index was built when the desktop opened
    ChildProcess xclock({"xclock"});
    ASSERT_NE(waitForWindowOf(xclock.pid()), 0u);
    auto app = desktop->workspace().runningApplicationWithProcessIdentifier(xclock.pid());
    ASSERT_TRUE(app);
    EXPECT_EQ(app->bundleIdentifier(), "org.velora.TestClock");
    EXPECT_EQ(app->localizedName(), "Test Clock");
    EXPECT_EQ(app->bundlePath(), (dataHome / "applications" / "org.velora.TestClock.desktop").string());
    auto bundle = desktop->workspace().bundleInfoForIdentifier("org.velora.TestClock");
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->name, "Test Clock");
    EXPECT_EQ(bundle->executable, "xclock");
}

TEST_F(WindowListTest, TitleChangesReachTheCacheAndTheWindowList) {
    FakeWindow::Spec spec;
    spec.title = "before";
    FakeWindow fake(spec);
    ASSERT_TRUE(waitForWindow(fake.id()));
    AXElement element = windowElement(fake.id());
    EXPECT_EQ(title(element), "before");
    fake.setTitleBytes("after \xE2\x9C\x93");
    EXPECT_TRUE(eventually([&] { return title(element) == "after \xE2\x9C\x93"; }));
    std::optional<WindowInfo> info =
        entry(desktop->windowServer().copyWindowInfo(kWindowListExcludeDesktopElements, kNullWindowID), fake.id());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->name, "after \xE2\x9C\x93");
    EXPECT_EQ(info->ownerPID, getpid());
}

TEST_F(WindowListTest, CompositingIsActiveWhileTheCompositorSelectionHasAnOwner) {
    xcb_connection_t* c = display->connection();
    const std::string name = "_NET_WM_CM_S" + std::to_string(display->screen());
    auto* interned = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.c_str()), nullptr);
    ASSERT_TRUE(interned);
    const xcb_atom_t selection = interned->atom;
    std::free(interned);
    auto& ws = desktop->windowServer();
    ASSERT_FALSE(ws.compositingActive()) << "the test desktop runs no compositor";

    // A pretend compositor: a window of the test's own connection owns the selection.
    const xcb_window_t owner = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, owner, display->root(), -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_set_selection_owner(c, owner, selection, XCB_CURRENT_TIME);
    display->sync();
    EXPECT_TRUE(ws.compositingActive());
    // The selection goes with its owner's window.
    xcb_destroy_window(c, owner);
    display->sync();
    EXPECT_FALSE(ws.compositingActive());
}

} // namespace
} // namespace velora::test
