// The default keys under the layouts people type on, each set with setxkbmap while velora
// runs: Alt-Tab, Alt and the key above Tab (whatever it shows: ^ in German, ² in French), and
// a command key by the character it types (m, which sits elsewhere in French).
#include <xkbcommon/xkbcommon-keysyms.h>

#include "desktop_session.h"

namespace velora::e2e {
namespace {

constexpr uint8_t kAboveTab = 49, kTab = 23;

class KeyboardLayouts : public DesktopSession {
  protected:
    void TearDown() override {
        runToEnd({"setxkbmap", "-layout", "us"});
        DesktopSession::TearDown();
    }
    // Alt held through XTest by key code, `keys` pressed in turn, then Alt let go.
    void withAlt(std::initializer_list<uint8_t> keys, bool release = true) {
        xdotool({"keydown", "alt"});
        for (uint8_t k : keys) {
            x_->key(k, true);
            x_->key(k, false);
        }
        if (release) xdotool({"keyup", "alt"});
    }
};

TEST_F(KeyboardLayouts, DefaultKeysWorkUnderGermanAndFrenchSetWhileVeloraRuns) {
    ASSERT_TRUE(startVelora());
    const xcb_window_t ash = startXterm("Ash");
    const auto pine = openWindows({"Pine 1", "Pine 2"});
    ASSERT_TRUE(ash && pine.size() == 2);
    activateInOrder({pine[1], ash, pine[0]}); // recency: Pine 1, Ash, Pine 2

    for (const std::string layout : {"de", "fr"}) {
        SCOPED_TRACE(layout);
        ASSERT_TRUE(runToEnd({"setxkbmap", "-layout", layout}));
        // The server still refuses Alt-Tab to anyone else: the grab outlived the new keymap
        // (velora also reads raw key events, so its switching alone does not show the grab).
        EXPECT_FALSE(x_->canGrab(XKB_KEY_Tab, x_->modifierMaskOf(XKB_KEY_Alt_L))) << "Alt-Tab is free";
        // Alt-Tab: the application used before. (Pine 1, Ash, Pine 2)
        std::size_t activated = activations();
        withAlt({kTab});
        ASSERT_EQ(titleOf(waitForSwitch(activated)), "Ash");
        // Alt and the key above Tab: the next window of the active application. Back to Pine
        // first; (Pine 1, Ash, Pine 2) again after Alt-Tab.
        activated = activations();
        withAlt({kTab});
        ASSERT_EQ(titleOf(waitForSwitch(activated)), "Pine 1");
        activated = activations();
        withAlt({kAboveTab});
        ASSERT_EQ(titleOf(waitForSwitch(activated)), "Pine 2") << "Alt and the key above Tab did not switch";

        // Held Alt-Tab, then the key that types m in this layout: the selection is minimised.
        // (Pine 2, Pine 1, Ash): the selection is Pine 1.
        withAlt({kTab}, false);
        ASSERT_TRUE(waitForPanel());
        xdotool({"key", "m"});
        EXPECT_TRUE(waitFor([&] { return x_->isIconic(pine[0]); })) << "m did not minimise the selection";
        xdotool({"key", "Escape", "keyup", "alt"});
        EXPECT_TRUE(waitForPanelGone());
        activateInOrder({pine[1], ash, pine[0]});
    }
}

} // namespace
} // namespace velora::e2e
