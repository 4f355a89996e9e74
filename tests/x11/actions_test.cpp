// Activation, raising, hiding, minimising, closing and quitting act on real clients.
#include <cstdlib>

#include "platform/ax_names.h"
#include "x11_fixture.h"

namespace velora::test {
namespace {

class ActionsTest : public X11Test {
protected:
    std::vector<uint32_t> stacking() { return display->clientsBottomFirst(); }
    // Whether a stacks above b.
    bool above(uint32_t a, uint32_t b) {
        auto order = stacking();
        auto ia = std::find(order.begin(), order.end(), a), ib = std::find(order.begin(), order.end(), b);
        return ia != order.end() && ib != order.end() && ia > ib;
    }
    bool minimized(uint32_t window) {
        AXValue v;
        return desktop->accessibility().copyAttributeValue(windowElement(window), ax::Minimized, v) ==
                   AXError::Success &&
               std::get<bool>(v);
    }
    bool iconicByXprop(uint32_t window) {
        return runAndRead({"xprop", "-id", std::to_string(window), "WM_STATE"}).find("Iconic") != std::string::npos;
    }
    int frontIndex(pid_t pid) {
        auto order = desktop->workspace().processesInFrontToBackOrder();
        auto it = std::find(order.begin(), order.end(), pid);
        return it == order.end() ? -1 : int(it - order.begin());
    }
    RunningApplicationRef app(pid_t pid) { return desktop->workspace().runningApplicationWithProcessIdentifier(pid); }
    bool viewable(uint32_t window) {
        xcb_connection_t* c = display->connection();
        auto* reply = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
        const bool shown = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(reply);
        return shown;
    }
};

TEST_F(ActionsTest, ActivationMovesFocusAndTheFrontToBackOrder) {
    ChildProcess first({"xterm", "-T", "velora-first"}), second({"xterm", "-T", "velora-second"});
    const uint32_t w1 = waitForWindowOf(first.pid()), w2 = waitForWindowOf(second.pid());
    ASSERT_TRUE(w1 && w2);
    // Managers focus new windows once they have mapped them; let that happen first, so that
    // it cannot come after the activations below.
    ASSERT_TRUE(eventually([&] { return viewable(w1) && viewable(w2); }));
    eventually([&] { return display->activeWindow() == w1 || display->activeWindow() == w2; }, 3.0);

    ASSERT_TRUE(app(first.pid())->activateWithOptions(kActivateIgnoringOtherApps));
    ASSERT_TRUE(eventually([&] { return display->activeWindow() == w1; }));
    EXPECT_TRUE(eventually([&] { return app(first.pid())->isActive() && frontIndex(first.pid()) == 0; }));
    EXPECT_FALSE(app(second.pid())->isActive());

    ASSERT_TRUE(app(second.pid())->activateWithOptions(kActivateIgnoringOtherApps));
    ASSERT_TRUE(eventually([&] { return display->activeWindow() == w2; }));
    EXPECT_TRUE(eventually([&] { return frontIndex(second.pid()) == 0 && frontIndex(first.pid()) > 0; }));
    EXPECT_TRUE(eventually([&] { return above(w2, w1); }));

    // The focused-window query follows. The desktop cache learns of changes from events, so
    // it may lag the property for a moment (fluxbox moves the focus in more than one step).
    auto& ax = desktop->accessibility();
    AXValue focusedApp, focusedWindow;
    const auto focusQueryNamesSecond = [&] {
        focusedApp = focusedWindow = AXValue{};
        if (ax.copyAttributeValue(ax.createSystemWide(), ax::FocusedApplication, focusedApp) != AXError::Success ||
            !std::holds_alternative<AXElement>(focusedApp) || std::get<AXElement>(focusedApp).pid != second.pid())
            return false;
        return ax.copyAttributeValue(std::get<AXElement>(focusedApp), ax::FocusedWindow, focusedWindow) ==
                   AXError::Success &&
               std::holds_alternative<AXElement>(focusedWindow) &&
               std::get<AXElement>(focusedWindow) == windowElement(w2);
    };
    EXPECT_TRUE(eventually(focusQueryNamesSecond))
        << "_NET_ACTIVE_WINDOW is " << display->activeWindow() << " (first " << w1 << ", second " << w2
        << "); the focused application is pid "
        << (std::holds_alternative<AXElement>(focusedApp) ? std::get<AXElement>(focusedApp).pid : 0)
        << " (first " << first.pid() << ", second " << second.pid() << ")";
}

TEST_F(ActionsTest, AWindowThatRefusesTheFocusStillCountsAsActivatedAndRaised) {
    ChildProcess xterm({"xterm", "-T", "velora-behind"}), xclock({"xclock"});
    const uint32_t term = waitForWindowOf(xterm.pid()), clock = waitForWindowOf(xclock.pid());
    ASSERT_TRUE(term && clock);
    ASSERT_TRUE(focus(term));
    ASSERT_TRUE(eventually([&] { return above(term, clock); }));

    ASSERT_TRUE(app(xclock.pid())->activateWithOptions(kActivateIgnoringOtherApps));
    EXPECT_TRUE(eventually([&] { return above(clock, term); }));
    EXPECT_TRUE(app(xclock.pid())->isActive());
    EXPECT_FALSE(app(xterm.pid())->isActive());
    EXPECT_EQ(frontIndex(xclock.pid()), 0);
    AXValue focusedApp;
    auto& ax = desktop->accessibility();
    ASSERT_EQ(ax.copyAttributeValue(ax.createSystemWide(), ax::FocusedApplication, focusedApp), AXError::Success);
    EXPECT_EQ(std::get<AXElement>(focusedApp).pid, xclock.pid());

    // Once the manager activates another window, that one is active again.
    ASSERT_TRUE(focus(term));
    EXPECT_TRUE(eventually([&] { return app(xterm.pid())->isActive() && !app(xclock.pid())->isActive(); }));
}

TEST_F(ActionsTest, RaisingAWindowAsTheSwitcherDoesStacksItOnTop) {
    // The raise of a window record: "AXRaise", then "AXFrontmost" and "AXFocused". (fluxbox
    // honours a bare raise only while no other window has the focus.)
    ChildProcess a({"xclock"}), b({"xclock"}), other({"xterm", "-T", "velora-raise-focus"});
    const uint32_t wa = waitForWindowOf(a.pid()), wb = waitForWindowOf(b.pid()), wo = waitForWindowOf(other.pid());
    ASSERT_TRUE(wa && wb && wo);
    ASSERT_TRUE(focus(wo));
    ASSERT_TRUE(eventually([&] { return above(wb, wa) || above(wa, wb); }));
    const uint32_t lower = above(wb, wa) ? wa : wb, upper = lower == wa ? wb : wa;
    auto& ax = desktop->accessibility();
    const AXElement element = windowElement(lower);
    EXPECT_EQ(ax.performAction(element, ax::ActionRaise), AXError::Success);
    EXPECT_EQ(ax.setAttributeValue(element, ax::Frontmost, true), AXError::Success);
    EXPECT_EQ(ax.setAttributeValue(element, ax::Focused, true), AXError::Success);
    EXPECT_TRUE(eventually([&] { return above(lower, upper) && above(lower, wo); }));
    EXPECT_TRUE(app(lower == wa ? a.pid() : b.pid())->isActive());
    if (std::getenv("VELORA_DESKTOP_WM") && std::string(std::getenv("VELORA_DESKTOP_WM")) == "fluxbox") return;
    // A bare raise, where the manager honours it.
    EXPECT_EQ(ax.performAction(windowElement(upper), ax::ActionRaise), AXError::Success);
    EXPECT_TRUE(eventually([&] { return above(upper, lower); }));
}

TEST_F(ActionsTest, HideMinimisesEveryWindowAndUnhideBringsThemBack) {
    ChildProcess xterm({"xterm", "-T", "velora-hide"});
    const uint32_t window = waitForWindowOf(xterm.pid());
    ASSERT_TRUE(window);
    auto application = app(xterm.pid());
    EXPECT_FALSE(application->isHidden());
    ASSERT_TRUE(application->hide());
    EXPECT_TRUE(eventually([&] { return application->isHidden() && minimized(window); }));
    EXPECT_TRUE(eventually([&] { return iconicByXprop(window); }));
    ASSERT_TRUE(application->unhide());
    EXPECT_TRUE(eventually([&] { return !application->isHidden() && !minimized(window); }));
    EXPECT_TRUE(eventually([&] { return !iconicByXprop(window); }));
    // Activating a hidden application shows it again.
    ASSERT_TRUE(application->hide());
    ASSERT_TRUE(eventually([&] { return application->isHidden(); }));
    ASSERT_TRUE(application->activateWithOptions(kActivateAllWindows | kActivateIgnoringOtherApps));
    EXPECT_TRUE(eventually([&] { return !application->isHidden() && !minimized(window); }));
}

TEST_F(ActionsTest, TheMinimiseButtonAndTheMinimisedAttributeActOnTheWindow) {
    ChildProcess xclock({"xclock"});
    const uint32_t window = waitForWindowOf(xclock.pid());
    ASSERT_TRUE(window);
    auto& ax = desktop->accessibility();
    AXValue button, enabled;
    ASSERT_EQ(ax.copyAttributeValue(windowElement(window), ax::MinimizeButton, button), AXError::Success);
    ASSERT_EQ(ax.copyAttributeValue(std::get<AXElement>(button), ax::Enabled, enabled), AXError::Success);
    EXPECT_TRUE(std::get<bool>(enabled));
    EXPECT_EQ(ax.performAction(std::get<AXElement>(button), ax::ActionPress), AXError::Success);
    EXPECT_TRUE(eventually([&] { return minimized(window) && iconicByXprop(window); }));
    EXPECT_EQ(ax.setAttributeValue(windowElement(window), ax::Minimized, false), AXError::Success);
    EXPECT_TRUE(eventually([&] { return !minimized(window) && !iconicByXprop(window); }));
    EXPECT_EQ(ax.setAttributeValue(windowElement(window), ax::Minimized, true), AXError::Success);
    EXPECT_TRUE(eventually([&] { return minimized(window); }));
}

TEST_F(ActionsTest, TheCloseButtonClosesTheWindow) {
    ChildProcess xclock({"xclock"});
    const uint32_t window = waitForWindowOf(xclock.pid());
    ASSERT_TRUE(window);
    auto& ax = desktop->accessibility();
    AXValue button, role;
    // xclock sets WM_PROTOCOLS just after mapping its window.
    ASSERT_TRUE(eventually(
        [&] { return ax.copyAttributeValue(windowElement(window), ax::CloseButton, button) == AXError::Success; }));
    ASSERT_EQ(ax.copyAttributeValue(std::get<AXElement>(button), ax::Role, role), AXError::Success);
    EXPECT_EQ(std::get<std::string>(role), ax::RoleButton);
    EXPECT_EQ(ax.performAction(std::get<AXElement>(button), ax::ActionPress), AXError::Success);
    EXPECT_TRUE(xclock.waitForExit(10));
    EXPECT_TRUE(eventually([&] { return app(xclock.pid()) == nullptr; }));
}

TEST_F(ActionsTest, QuitAsksPolitelyAndForceQuitKills) {
    ChildProcess xterm({"xterm", "-T", "velora-quit"}), xeyes({"xeyes"});
    ASSERT_TRUE(waitForWindowOf(xterm.pid()) && waitForWindowOf(xeyes.pid()));
    auto term = app(xterm.pid()), eyes = app(xeyes.pid());
    ASSERT_TRUE(term->terminate());
    EXPECT_TRUE(xterm.waitForExit(10));
    EXPECT_TRUE(eventually([&] { return term->isTerminated(); }));
    // A terminated application refuses every action and keeps its identity.
    EXPECT_FALSE(term->activateWithOptions(kActivateIgnoringOtherApps));
    EXPECT_FALSE(term->hide());
    EXPECT_EQ(term->bundleIdentifier(), "XTerm");
    ASSERT_TRUE(eyes->forceTerminate());
    EXPECT_TRUE(xeyes.waitForExit(10));
    EXPECT_TRUE(eventually([&] { return eyes->isTerminated(); }));
}

} // namespace
} // namespace velora::test
