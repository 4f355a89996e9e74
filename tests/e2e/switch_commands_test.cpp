// Keys pressed during a shown switch act on the selection and never reach the focused
// client: Escape cancels, q quits (as w closes), m minimises (as h hides).
#include "desktop_session.h"

namespace velora::e2e {
namespace {

// Every test: an xterm "Other", then the focused xterm "Typist" whose typed lines land in
// typedFile(); the selection of the first step (Super-Tab or Alt-Tab) is "Other".
class SwitchCommands : public DesktopSession {
  protected:
    void SetUp() override {
        DesktopSession::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(startVelora());
        other = startXterm("Other");
        typist = startTypist();
        ASSERT_TRUE(other && typist);
        activateInOrder({other, typist});
    }

    xcb_window_t other = 0, typist = 0;
};

struct Command {
    const char* key;
    const char* modifier; // super: applications, alt: windows
    bool closesTheClient; // else it hides or minimises it
};

class SwitchCommand : public SwitchCommands, public ::testing::WithParamInterface<Command> {};

TEST_P(SwitchCommand, ActsOnTheSelectionAndNeverReachesTheFocusedClient) {
    const Command& c = GetParam();
    ASSERT_FALSE(holdSwitch(c.modifier).isNull()) << "no panel";
    xdotool({"key", c.key});
    if (c.closesTheClient) {
        EXPECT_TRUE(client(other).waitForExit(kLongWait)) << "the selected xterm is still running";
        EXPECT_NE(x_->clientTitled("Typist"), 0u);
    } else {
        EXPECT_TRUE(waitFor([&] { return x_->isHidden(other); })) << "the selection is not hidden";
        EXPECT_FALSE(x_->isHidden(typist));
    }
    EXPECT_NE(x_->shownPanel(), 0u) << "the switch goes on after the command";
    xdotool({"keyup", c.modifier});
    EXPECT_TRUE(waitForPanelGone());
    activate(typist);
    EXPECT_EQ(typedLine(), "\n") << c.key << " reached the focused client";
}

INSTANTIATE_TEST_SUITE_P(SwitchCommands, SwitchCommand,
                         ::testing::Values(Command{"q", "super", true}, Command{"m", "alt", false}),
                         [](const ::testing::TestParamInfo<Command>& p) { return std::string(p.param.key); });

// Escape cancels, and its release ends nothing; outside a switch every key reaches the
// focused client, also after switches have come and gone (the command keys are taken only
// for the span of a switch).
TEST_F(SwitchCommands, EscapeCancelsAndKeysOutsideASwitchReachTheFocusedClient) {
    ASSERT_FALSE(holdSwitch().isNull()) << "no panel";
    xdotool({"key", "Escape"});
    EXPECT_TRUE(waitForPanelGone()) << "Escape leaves the panel up";
    xdotool({"keyup", "alt"});
    // Quick switches after the release: velora takes the keys in order, so an end of the
    // cancelled switch by its release would be traced before theirs.
    std::size_t activated = activations();
    xdotool({"key", "alt+Tab"});
    ASSERT_EQ(waitForSwitch(activated), other);
    ASSERT_TRUE(waitForMark("end:quick"));
    EXPECT_EQ(marks("end:"), (std::vector<std::string>{"end:cancel", "end:quick"}));
    activated = activations();
    xdotool({"key", "alt+Tab"});
    ASSERT_EQ(waitForSwitch(activated), typist);

    xdotool({"type", "--delay", "40", "quit hide min win, rev o f"});
    xdotool({"key", "Escape"});
    EXPECT_EQ(typedLine(), "quit hide min win, rev o f\x1b\n")
        << "Escape reached the focused client, or typed keys were lost";
}

} // namespace
} // namespace velora::e2e
