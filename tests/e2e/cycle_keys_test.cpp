// The six cycle hot keys on real clients, each released quickly (before the display delay,
// no panel) and held until the panel shows. The desktop: an xterm "Yew", an xterm "Xi" and
// a client "Pine" with the windows "Pine 1", "Pine 2", "Pine 3", used in the order Yew, Xi,
// Pine 1, Pine 3, Pine 2 (Pine 2 active). Then the candidates are
//   applications front to back: Pine, Xi, Yew
//   all windows, most recent first: Pine 2, Pine 3, Pine 1, Xi, Yew
//   the active application's windows: Pine 2, Pine 3, Pine 1
// and forward takes the second candidate, backward the last. One desktop serves every key:
// after each switch, using again the windows that followed the chosen one restores the order.
#include "desktop_session.h"

namespace velora::e2e {
namespace {

class CycleKeys : public DesktopSession {
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
    // After a switch to `chosen`: the windows used after it, used again in their order.
    void restoreOrderAfter(xcb_window_t chosen) {
        auto it = std::find(order_.begin(), order_.end(), chosen);
        ASSERT_NE(it, order_.end());
        activateInOrder({it + 1, order_.end()});
    }

    std::vector<xcb_window_t> order_;
};

TEST_F(CycleKeys, EachKeyQuickAndHeldActivatesItsCandidateAndPressesStepWhileThePanelIsUp) {
    struct CycleKey {
        const char* name;
        std::vector<std::string> modifiers;
        const char* key;
        const char* expected; // title of the window that ends up active
    };
    const CycleKey keys[] = {{"Super-Tab", {"super"}, "Tab", "Xi"},
                             {"Super-Shift-Tab", {"super", "shift"}, "Tab", "Yew"},
                             {"Alt-Tab", {"alt"}, "Tab", "Pine 3"},
                             {"Alt-Shift-Tab", {"alt", "shift"}, "Tab", "Yew"},
                             {"Alt-`", {"alt"}, "grave", "Pine 3"},
                             {"Alt-Shift-`", {"alt", "shift"}, "grave", "Pine 1"}};
    const xcb_window_t before = x_->activeWindow();
    ASSERT_EQ(titleOf(before), "Pine 2");
    for (const CycleKey& k : keys) {
        std::vector<std::string> down, up;
        for (const auto& m : k.modifiers) down.insert(down.end(), {"keydown", m});
        down.insert(down.end(), {"key", k.key});
        for (auto it = k.modifiers.rbegin(); it != k.modifiers.rend(); ++it) up.insert(up.end(), {"keyup", *it});
        for (const bool held : {false, true}) {
            SCOPED_TRACE(std::string(held ? "held " : "quick ") + k.name);
            if (!held) {
                // One xdotool run presses and releases well within 0.2 s.
                std::vector<std::string> tap = down;
                tap.insert(tap.end(), up.begin(), up.end());
                xdotool(tap);
            } else {
                // The panel comes up over the desktop without taking the focus, then the
                // release activates the selection.
                xdotool(down);
                ASSERT_TRUE(waitForPanel()) << "no panel while the key is held";
                EXPECT_EQ(x_->activeWindow(), before) << "the panel took the activation";
                xdotool(up);
            }
            const xcb_window_t chosen = waitForActiveChange(before);
            EXPECT_EQ(titleOf(chosen), k.expected);
            if (held) EXPECT_TRUE(waitForPanelGone()) << "the panel stays after the release";
            else EXPECT_EQ(x_->shownPanel(), 0u) << "a quick switch shows no panel";
            restoreOrderAfter(chosen);
            ASSERT_EQ(x_->activeWindow(), before);
        }
    }

    // While the panel is up, each press moves the selection one step, forward with Alt-Tab
    // and back with Alt-Shift-Tab, and the release activates where it stands.
    xdotool({"keydown", "alt", "key", "Tab"}); // Pine 3
    ASSERT_TRUE(waitForPanel());
    xdotool({"key", "Tab", "key", "Tab"});                         // Pine 1, Xi
    xdotool({"keydown", "shift", "key", "Tab", "keyup", "shift"}); // back to Pine 1
    xdotool({"keyup", "alt"});
    EXPECT_EQ(titleOf(waitForActiveChange(before)), "Pine 1");
    EXPECT_TRUE(waitForPanelGone());
}

} // namespace
} // namespace velora::e2e
