// Hot key registration on every settings change, and the lines to paste where the desktop's
// configuration binds the keys.
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>

#include "app_fixture.h"
#include "hotkeys/sg_key_combo.h"

namespace velora::test {
namespace {

using HotKeys = AppTest;

TEST_F(HotKeys, SixCycleKeysRegisteredAndReplacedOnEveryChange) {
    ASSERT_TRUE(startController());
    std::vector<SGHotKeyRef> first = registered();
    ASSERT_EQ(first.size(), 6u);

    // Even a recorded backward key stays unregistered outside a switch; a cleared one goes.
    defaults().setObject("KeyUniversalBackward", SGKeyCombo(50, 2048).plistRepresentation());
    defaults().setObject("KeyCycleAppForward", SGKeyCombo(12, 4096).plistRepresentation());
    defaults().setObject("KeyCycleWindowBackward", SGKeyCombo::clearKeyCombo().plistRepresentation());
    settingsChanged();
    std::vector<SGHotKeyRef> second = registered();
    ASSERT_EQ(second.size(), 5u);
    for (const auto& key : second)
        EXPECT_EQ(std::find(first.begin(), first.end(), key), first.end())
            << "an old hot key is still registered";
    EXPECT_FALSE(isRegistered("KeyUniversalBackward"));
    EXPECT_FALSE(isRegistered("KeyCycleWindowBackward"));
    EXPECT_EQ(controller->keyCycleAppForward()->keyCombo(), SGKeyCombo(12, 4096));
}

TEST_F(HotKeys, WhereTheDesktopBindsTheKeysEachRecorderShowsItsLineToCopyFollowingItsShortcut) {
    sim.setConfigLineDesktop("niri");
    ASSERT_TRUE(startController());
    PrefsController& prefs = PrefsController::sharedPrefsWindowController();
    prefs.showWindow();
    const auto line = [&](const char* identifier) {
        return prefs.window()->findChild<QLabel*>(QStringLiteral("configLine-") + identifier);
    };
    auto* note = prefs.window()->findChild<QLabel*>("configLinesNote");
    ASSERT_TRUE(note && line("KeyCycleWindowForward"));
    EXPECT_TRUE(note->isVisible());
    // Alt+Tab, "All windows" forward: the port's line for the trigger of that hot key.
    EXPECT_EQ(line("KeyCycleWindowForward")->text(), "1048576+48 velora --trigger windows");
    auto* copy = prefs.window()->findChild<QPushButton*>("copyConfigLine-KeyCycleWindowForward");
    ASSERT_TRUE(copy && copy->isVisible());
    copy->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "1048576+48 velora --trigger windows");

    // A changed shortcut changes its line; a cleared one has none.
    defaults().setObject("KeyCycleWindowForward", SGKeyCombo(12, 4096).plistRepresentation());
    defaults().setObject("KeyCycleWindowBackward", SGKeyCombo::clearKeyCombo().plistRepresentation());
    settingsChanged();
    EXPECT_EQ(line("KeyCycleWindowForward")->text(), "262144+12 velora --trigger windows");
    EXPECT_FALSE(line("KeyCycleWindowBackward")->isVisible());

    // Where the program binds its keys itself (X11, sway) there is nothing to paste, and the
    // open window shrinks to the pane without those rows.
    const int tall = prefsWindow()->height();
    sim.setConfigLineDesktop({});
    settingsChanged();
    EXPECT_LT(prefsWindow()->height(), tall);
    EXPECT_FALSE(note->isVisible());
    EXPECT_FALSE(line("KeyCycleWindowForward")->isVisible());
}

// `velora --trigger NAME` reaching the program: the named hot key is pressed through the input
// port with the shortcut it has now, and the hot key center takes it as its own.
TEST_F(HotKeys, ATriggerPressesTheNamedHotKeyWithItsCurrentShortcut) {
    ASSERT_TRUE(startController());
    defaults().setObject("KeyCycleWindowForward", SGKeyCombo(12, 4096).plistRepresentation());
    defaults().setObject("KeyCycleAppBackward", SGKeyCombo::clearKeyCombo().plistRepresentation());
    settingsChanged();
    const auto pressed = [this] {
        std::vector<std::string> out;
        for (const sim::Call& call : sim.calls())
            if (call.kind == "pressKeyFromBinding") out.push_back(call.detail);
        return out;
    };

    // A desktop whose tap sees every key (X11) has no use for it: the user is told.
    EXPECT_NE(controller->pressHotKeyNamed("windows"), "");
    sim.setKeysFromBindings(true);
    EXPECT_EQ(controller->pressHotKeyNamed("windows"), "");
    EXPECT_EQ(pressed().back(), "12 " + std::to_string(kEventFlagControl));
    EXPECT_TRUE(sim.deliveredKeys().empty()) << "the hot key center swallows its own hot key";

    const std::size_t before = pressed().size();
    EXPECT_NE(controller->pressHotKeyNamed("applications-backward"), "") << "no shortcut: nothing to press";
    EXPECT_NE(controller->pressHotKeyNamed("sideways"), "");
    SGHotKeyCenter::sharedCenter().setIsRecording(true);
    EXPECT_NE(controller->pressHotKeyNamed("windows"), "") << "the recorder keeps the keyboard";
    SGHotKeyCenter::sharedCenter().setIsRecording(false);
    EXPECT_EQ(pressed().size(), before);
}

} // namespace
} // namespace velora::test
