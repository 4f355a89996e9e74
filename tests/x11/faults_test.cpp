// Faults of other programs and of the server: vanishing windows, broken titles, lost server.
#include <future>

#include "platform/ax_names.h"
#include "platform/x11/x11_text.h"
#include "x11_fixture.h"

namespace velora::test {
namespace {

using FaultsTest = X11Test;

TEST_F(FaultsTest, AWindowThatVanishesGivesNeutralAnswers) {
    FakeWindow fake(FakeWindow::Options{});
    const uint32_t id = fake.id();
    ASSERT_TRUE(waitForWindow(id));
    const AXElement element = windowElement(id);
    auto& ax = desktop->accessibility();
    auto& ws = desktop->windowServer();

    // Questions from another thread while the window goes away under them.
    std::atomic<bool> stop{false};
    std::thread asker([&] {
        while (!stop.load()) {
            AXValue v;
            ax.copyAttributeValue(element, ax::Position, v);
            ax.copyAttributeValue(element, ax::Children, v);
            ws.copyWindowInfo(kWindowListExcludeDesktopElements, kNullWindowID);
            ws.captureWindow(id, {20, 20});
            Rect r;
            ws.windowBounds(id, r);
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    fake.destroy();
    EXPECT_TRUE(eventually([&] {
        AXValue v;
        return ax.copyAttributeValue(element, ax::Title, v) == AXError::InvalidUIElement;
    }));
    stop.store(true);
    asker.join();

    AXValue v;
    EXPECT_EQ(ax.copyAttributeValue(element, ax::Position, v), AXError::InvalidUIElement);
    EXPECT_EQ(ax.performAction(element, ax::ActionRaise), AXError::InvalidUIElement);
    EXPECT_EQ(ax.setAttributeValue(element, ax::Minimized, true), AXError::InvalidUIElement);
    pid_t pid = 0;
    EXPECT_EQ(ax.getPid(element, pid), AXError::InvalidUIElement);
    // A window that has just gone still says it was a window, so its records can be dropped.
    ASSERT_EQ(ax.copyAttributeValue(element, ax::Role, v), AXError::Success);
    EXPECT_EQ(std::get<std::string>(v), ax::RoleWindow);
    EXPECT_EQ(ws.windowSpace(id), 0);
    EXPECT_TRUE(ws.captureWindow(id, {20, 20}).isNull());
    Rect bounds;
    EXPECT_FALSE(ws.windowBounds(id, bounds));
    // Elements and windows that never were.
    EXPECT_TRUE(ws.captureWindow(0, {10, 10}).isNull());
    EXPECT_TRUE(ws.captureWindow(0x7FFFFFF, {10, 10}).isNull());
    EXPECT_EQ(ax.copyAttributeValue(AXElement{AXElement::Kind::Window, 1, 0x7ABCDEF}, ax::Role, v),
              AXError::InvalidUIElement);
    EXPECT_EQ(ax.copyAttributeValue(AXElement{}, ax::Role, v), AXError::IllegalArgument);
    EXPECT_TRUE(ax.createApplication(999999).isNull());
    EXPECT_EQ(ax.createObserver(999999, nullptr), nullptr);
}

TEST_F(FaultsTest, HugeAndBrokenTitlesAreCutAndRepaired) {
    std::string bytes;
    // Three times the limit (managers take long to draw much longer titles: fluxbox does).
    for (int i = 0; i < 4000; ++i) bytes += (i % 97 == 0) ? "\xFF\xC3" : "t\xC3\xA9";
    FakeWindow::Options options;
    options.titleBytes = bytes;
    options.title = std::string(9000, 'w');  // WM_NAME too: not the one used, but read
    FakeWindow fake(options);
    ASSERT_TRUE(waitForWindow(fake.id()));
    auto t = title(windowElement(fake.id()));
    ASSERT_TRUE(t);
    EXPECT_LE(t->size(), x11::kMaxTextBytes);
    EXPECT_GT(t->size(), 1000u);
    EXPECT_EQ(x11::repairUtf8(*t), *t) << "the title is valid UTF-8";
    EXPECT_NE(t->find("\xEF\xBF\xBD"), std::string::npos) << "invalid bytes became U+FFFD";
    auto list = desktop->windowServer().copyWindowInfo(kWindowListExcludeDesktopElements, kNullWindowID);
    ASSERT_TRUE(list);
    for (const WindowInfo& info : *list)
        if (info.number == fake.id()) {
            EXPECT_EQ(info.name, *t);
        }
}

TEST_F(FaultsTest, TheFocusedWindowQueryCostsNoRoundTrip) {
    FakeWindow::Options options;
    options.listsPing = true;  // could be pinged, is not pinged for this
    FakeWindow fake(options);
    ASSERT_TRUE(waitForWindow(fake.id()));
    ASSERT_TRUE(focus(fake.id()));
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // no answer stands any more
    auto& ax = desktop->accessibility();
    // While another client grabs the server, any request of ours would wait for the grab's end.
    display->grabServer();
    auto answer = std::async(std::launch::async, [&] {
        AXValue app, window;
        if (ax.copyAttributeValue(ax.createSystemWide(), ax::FocusedApplication, app) != AXError::Success) return AXElement{};
        if (ax.copyAttributeValue(std::get<AXElement>(app), ax::FocusedWindow, window) != AXError::Success) return AXElement{};
        return std::get<AXElement>(window);
    });
    const bool answered = answer.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
    display->ungrabServer();
    ASSERT_TRUE(answered) << "the focused-window query waited for the server";
    // Other suites share the display and may have taken the focus meanwhile.
    const AXElement focused = answer.get();
    if (display->activeWindow() == fake.id()) {
        EXPECT_EQ(focused, windowElement(fake.id()));
    }
}

TEST(X11ServerLoss, LosingTheServerIsReportedOnceAndEveryPortGoesQuiet) {
    if (!std::getenv("VELORA_X11_TESTS")) GTEST_SKIP() << "VELORA_X11_TESTS is not set";
    PrivateServer server;
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    TestMainThread mainThread;
    std::string error;
    auto desktop = X11Desktop::open(mainThread, error, server.display().c_str());
    ASSERT_TRUE(desktop) << error;
    ASSERT_TRUE(desktop->isConnected());

    auto tap = desktop->input().createEventTap([](const KeyEvent&) { return TapVerdict::Pass; });
    ASSERT_TRUE(tap);
    std::promise<void> tapEnded;
    std::thread tapThread([&] {
        tap->run();
        tapEnded.set_value();
    });
    std::promise<std::string> lost;
    std::atomic<int> calls{0};
    desktop->setConnectionLostHandler([&](const std::string& message) {
        if (calls.fetch_add(1) == 0) lost.set_value(message);
    });

    server.end();
    auto message = lost.get_future();
    ASSERT_EQ(message.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(message.get(), "lost the connection to the X display " + server.display());
    EXPECT_EQ(tapEnded.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
    tapThread.join();

    EXPECT_FALSE(desktop->isConnected());
    EXPECT_EQ(desktop->windowServer().copyWindowInfo(kWindowListExcludeDesktopElements, kNullWindowID), nullptr);
    EXPECT_TRUE(desktop->workspace().runningApplications().empty());
    EXPECT_TRUE(desktop->workspace().processesInFrontToBackOrder().empty());
    EXPECT_EQ(desktop->input().currentModifierFlags(), 0u);
    EXPECT_EQ(desktop->input().createEventTap([](const KeyEvent&) { return TapVerdict::Pass; }), nullptr);
    AXValue v;
    auto& ax = desktop->accessibility();
    EXPECT_FALSE(ax.isAPIEnabled());
    EXPECT_NE(ax.copyAttributeValue(ax.createSystemWide(), ax::FocusedApplication, v), AXError::Success);
    desktop->sound().beep();
    // A handler set afterwards hears of it at once.
    bool late = false;
    desktop->setConnectionLostHandler([&](const std::string&) { late = true; });
    EXPECT_TRUE(late);
    EXPECT_EQ(calls.load(), 1);
    tap.reset();
    desktop.reset();
}

TEST(X11ServerLoss, ADisplayThatCannotBeOpenedGivesAMessage) {
    TestMainThread mainThread;
    std::string error;
    auto desktop = X11Desktop::open(mainThread, error, ":4999");
    EXPECT_FALSE(desktop);
    EXPECT_NE(error.find(":4999"), std::string::npos);
}

} // namespace
} // namespace velora::test
