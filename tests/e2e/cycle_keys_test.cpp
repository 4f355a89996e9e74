// The six cycle hot keys on real clients, each released quickly (before the display delay,
// no panel) and held until the panel shows. The desktop: an xterm "Yew", an xterm "Xi" and
// a client "Pine" with the windows "Pine 1", "Pine 2", "Pine 3", used in the order Yew, Xi,
// Pine 1, Pine 3, Pine 2 (Pine 2 active). Then the candidates are
//   applications front to back: Pine, Xi, Yew
//   all windows, most recent first: Pine 2, Pine 3, Pine 1, Xi, Yew
//   the active application's windows: Pine 2, Pine 3, Pine 1
// and forward takes the second candidate, backward the last.
#include "desktop_session.h"

namespace velora::e2e {
namespace {

struct CycleKey {
    const char* name;
    std::vector<std::string> modifiers;
    const char* key;
    const char* expected; // title of the window that ends up active
};

std::ostream& operator<<(std::ostream& out, const CycleKey& k) { return out << k.name; }

class RecentWindows : public DesktopSession {
protected:
    void SetUp() override {
        DesktopSession::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(startVelora());
        const xcb_window_t yew = startXterm("Yew"), xi = startXterm("Xi");
        const auto pine = startWindowClient({"Pine 1", "Pine 2", "Pine 3"});
        ASSERT_TRUE(yew && xi && pine.size() == 3);
        order_ = {yew, xi, pine[0], pine[2], pine[1]};
        activateInOrder(order_);
    }

    std::vector<xcb_window_t> order_;
};

class CycleKeys : public RecentWindows, public ::testing::WithParamInterface<CycleKey> {
protected:
    void pressAndRelease(const CycleKey& k) {
        std::vector<std::string> args;
        for (const auto& m : k.modifiers) args.insert(args.end(), {"keydown", m});
        args.insert(args.end(), {"key", k.key});
        for (auto it = k.modifiers.rbegin(); it != k.modifiers.rend(); ++it) args.insert(args.end(), {"keyup", *it});
        xdotool(args);
    }
};

TEST_P(CycleKeys, QuickReleaseAndHeldPastTheDelayActivateTheSameCandidate) {
    const CycleKey& k = GetParam();
    const xcb_window_t before = x_->activeWindow();
    ASSERT_EQ(titleOf(before), "Pine 2");

    // Quick: one xdotool run presses and releases well within 0.2 s.
    pressAndRelease(k);
    EXPECT_EQ(titleOf(waitForActiveChange(before)), k.expected) << "quick " << k.name;
    EXPECT_EQ(x_->shownPanel(), 0u) << "a quick switch shows no panel";

    activateInOrder(order_);
    ASSERT_EQ(x_->activeWindow(), before);

    // Held: the panel comes up over the desktop without taking the focus, then the release
    // activates the selection.
    std::vector<std::string> down;
    for (const auto& m : k.modifiers) down.insert(down.end(), {"keydown", m});
    down.insert(down.end(), {"key", k.key});
    xdotool(down);
    ASSERT_TRUE(waitForPanel()) << "no panel while " << k.name << " is held";
    EXPECT_EQ(x_->activeWindow(), before) << "the panel took the activation";
    std::vector<std::string> up;
    for (auto it = k.modifiers.rbegin(); it != k.modifiers.rend(); ++it) up.insert(up.end(), {"keyup", *it});
    xdotool(up);
    EXPECT_EQ(titleOf(waitForActiveChange(before)), k.expected) << "held " << k.name;
    EXPECT_TRUE(waitForPanelGone()) << "the panel stays after the release";
}

INSTANTIATE_TEST_SUITE_P(
    FirstRunKeys, CycleKeys,
    ::testing::Values(CycleKey{"SuperTab", {"super"}, "Tab", "Xi"},
                      CycleKey{"SuperShiftTab", {"super", "shift"}, "Tab", "Yew"},
                      CycleKey{"AltTab", {"alt"}, "Tab", "Pine 3"},
                      CycleKey{"AltShiftTab", {"alt", "shift"}, "Tab", "Yew"},
                      CycleKey{"AltGrave", {"alt"}, "grave", "Pine 3"},
                      CycleKey{"AltShiftGrave", {"alt", "shift"}, "grave", "Pine 1"}),
    [](const ::testing::TestParamInfo<CycleKey>& p) { return std::string(p.param.name); });

// While the panel is up, each press moves the selection one step, forward with Alt-Tab and
// back with Alt-Shift-Tab, and the release activates where it stands.
TEST_F(RecentWindows, PressesWhileThePanelIsUpMoveTheSelection) {
    const xcb_window_t before = x_->activeWindow();
    ASSERT_EQ(titleOf(before), "Pine 2");
    xdotool({"keydown", "alt", "key", "Tab"}); // Pine 3
    ASSERT_TRUE(waitForPanel());
    xdotool({"key", "Tab", "key", "Tab"});                     // Pine 1, Xi
    xdotool({"keydown", "shift", "key", "Tab", "keyup", "shift"}); // back to Pine 1
    xdotool({"keyup", "alt"});
    EXPECT_EQ(titleOf(waitForActiveChange(before)), "Pine 1");
    EXPECT_TRUE(waitForPanelGone());
}

} // namespace
} // namespace velora::e2e
