// The six cycle hot keys on real clients, each once released quickly (before the display
// delay, no panel) and once held until the panel shows. The desktop: xterms "Yew" and "Xi" and
// a client "Pine" with the windows "Pine 1", "Pine 2", "Pine 3", used in the order Yew, Xi,
// Pine 1, Pine 3, Pine 2. Each switch makes its choice the most recent window, so the steps
// run on from each other (no restoring in between); forward takes the second candidate,
// backward the last, and the order of the steps makes each choice differ from the other
// direction's and from what the next-wider mode would choose.
#include <algorithm>

#include "desktop_session.h"

namespace velora::e2e {
namespace {

class CycleKeys : public DesktopSession {};

TEST_F(CycleKeys, EachKeyQuickAndHeldActivatesItsCandidateAndPressesStepWhileThePanelIsUp) {
    ASSERT_TRUE(startVelora());
    const xcb_window_t yew = startXterm("Yew"), xi = startXterm("Xi");
    const auto pine = startWindowClient({"Pine 1", "Pine 2", "Pine 3"});
    ASSERT_TRUE(yew && xi && pine.size() == 3);
    activateInOrder({yew, xi, pine[0], pine[2], pine[1]});

    struct Step {
        std::vector<std::string> modifiers;
        const char* key;
        bool held;
        const char* expected; // recency before the step, most recent first, in the comment
    };
    const Step steps[] = {{{"super"}, "Tab", false, "Xi"},              // P2 P3 P1 Xi Yew
                          {{"super", "shift"}, "Tab", false, "Yew"},    // Xi P2 P3 P1 Yew
                          {{"alt", "shift"}, "Tab", false, "Pine 1"},   // Yew Xi P2 P3 P1
                          {{"super", "shift"}, "Tab", true, "Xi"},      // P1 Yew Xi P2 P3
                          {{"alt"}, "Tab", false, "Pine 1"},            // Xi P1 Yew P2 P3
                          {{"alt"}, "grave", false, "Pine 2"},          // P1 Xi Yew P2 P3
                          {{"super"}, "Tab", true, "Xi"},               // P2 P1 Xi Yew P3
                          {{"alt"}, "Tab", true, "Pine 2"},             // Xi P2 P1 Yew P3
                          {{"alt"}, "grave", true, "Pine 1"},           // P2 Xi P1 Yew P3
                          {{"alt", "shift"}, "Tab", true, "Pine 3"},    // P1 P2 Xi Yew P3
                          {{"alt", "shift"}, "grave", false, "Pine 2"}, // P3 P1 P2 Xi Yew
                          {{"alt", "shift"}, "grave", true, "Pine 1"}}; // P2 P3 P1 Xi Yew
    ASSERT_EQ(titleOf(x_->activeWindow()), "Pine 2");
    for (const Step& s : steps) {
        std::string name;
        std::vector<std::string> down, up;
        for (const auto& m : s.modifiers) {
            down.insert(down.end(), {"keydown", m});
            name += m + "-";
        }
        down.insert(down.end(), {"key", s.key});
        for (auto it = s.modifiers.rbegin(); it != s.modifiers.rend(); ++it)
            up.insert(up.end(), {"keyup", *it});
        SCOPED_TRACE(std::string(s.held ? "held " : "quick ") + name + s.key);
        const std::size_t activated = activations();
        if (!s.held) {
            // One xdotool run presses and releases well within 0.2 s.
            down.insert(down.end(), up.begin(), up.end());
            xdotool(down);
        } else {
            // The panel comes up without taking the focus; the release activates the selection.
            xdotool(down);
            ASSERT_TRUE(waitForPanel()) << "no panel while the key is held";
            EXPECT_EQ(activations(), activated) << "showing the panel activated a window";
            xdotool(up);
        }
        const xcb_window_t chosen = waitForSwitch(activated);
        ASSERT_EQ(titleOf(chosen), s.expected);
        const auto asked = marks("activate:");
        EXPECT_TRUE(
            std::all_of(asked.begin() + std::ptrdiff_t(activated), asked.end(),
                        [&](const std::string& m) { return m == "activate:" + std::to_string(chosen); }))
            << "the switch activated another window as well";
        if (s.held)
            EXPECT_TRUE(waitForPanelGone()) << "the panel stays after the release";
        else
            EXPECT_EQ(x_->shownPanel(), 0u) << "a quick switch shows no panel";
    }

    // While the panel is up each press moves the selection one step, forward with Alt-Tab
    // and back with Alt-Shift-Tab; the release activates where it stands. (P1 P2 P3 Xi Yew)
    const std::size_t activated = activations();
    xdotool({"keydown", "alt", "key", "Tab"}); // Pine 2
    ASSERT_TRUE(waitForPanel());
    xdotool({"key", "Tab", "key", "Tab"});                         // Pine 3, Xi
    xdotool({"keydown", "shift", "key", "Tab", "keyup", "shift"}); // back to Pine 3
    xdotool({"keyup", "alt"});
    EXPECT_EQ(titleOf(waitForSwitch(activated)), "Pine 3");
    EXPECT_TRUE(waitForPanelGone());
}

} // namespace
} // namespace velora::e2e
