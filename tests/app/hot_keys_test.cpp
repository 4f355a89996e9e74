// Hot key registration on every settings change, shortcut recording, the panel-size preview
// and the warning for hiding the menu icon.
#include <QCheckBox>

#include "app_fixture.h"
#include "hotkeys/sg_key_combo.h"

namespace velora::test {
namespace {

using HotKeys = AppTest;

TEST_F(HotKeys, SixCycleKeysRegisteredAndReplacedOnEveryChange) {
    // Before the first registration the preferences already find seven (clear) keys.
    const std::map<std::string, SGHotKeyRef> early = VeloraController().hotKeysDictionary();
    EXPECT_EQ(early.size(), 7u);
    for (const auto& [id, key] : early) EXPECT_NE(key, nullptr) << id;
    ASSERT_TRUE(startController());
    std::vector<SGHotKeyRef> first = registered();
    ASSERT_EQ(first.size(), 6u);
    EXPECT_FALSE(isRegistered("KeyUniversalBackward"));

    // Even a recorded backward key stays unregistered outside a switch.
    defaults().setObject("KeyUniversalBackward", SGKeyCombo(50, 2048).plistRepresentation());
    defaults().setObject("KeyCycleAppForward", SGKeyCombo(12, 4096).plistRepresentation());
    settingsChanged();
    std::vector<SGHotKeyRef> second = registered();
    ASSERT_EQ(second.size(), 6u);
    for (const auto& key : second)
        EXPECT_EQ(std::find(first.begin(), first.end(), key), first.end()) << "an old hot key is still registered";
    EXPECT_FALSE(isRegistered("KeyUniversalBackward"));
    EXPECT_EQ(controller->keyUniversalBackward()->keyCombo(), SGKeyCombo(50, 2048));
    EXPECT_EQ(controller->keyCycleAppForward()->keyCombo(), SGKeyCombo(12, 4096));

    // A cleared combination is not registered.
    defaults().setObject("KeyCycleWindowBackward", SGKeyCombo::clearKeyCombo().plistRepresentation());
    settingsChanged();
    EXPECT_EQ(registered().size(), 5u);
    EXPECT_FALSE(isRegistered("KeyCycleWindowBackward"));
}

TEST_F(HotKeys, RecordingLetsTheHotKeysThrough) {
    ASSERT_TRUE(startController());
    ASSERT_TRUE(sim.waitForTap());
    controller->shortcutIsRecording(true);
    EXPECT_EQ(sim.pressKey(48, kEventFlagOption), TapVerdict::Pass);
    controller->shortcutIsRecording(false);
    EXPECT_EQ(sim.pressKey(48, kEventFlagOption), TapVerdict::Swallow);
}

TEST_F(HotKeys, PreviewStaysUpUntilHalfASecondAfterTheLastChange) {
    ASSERT_TRUE(startController());
    const auto resizeThenWait = [&](float width, double seconds) {
        defaults().setFloat("windowWidth", width);
        controller->updateWindowSize(nullptr);
        sim.advance(seconds);
        sim.pump();
    };
    resizeThenWait(700.0f, 0.3);
    EXPECT_FLOAT_EQ(VLHandler::sharedHandler().width(), 700.0f);
    EXPECT_DOUBLE_EQ(window.alpha, 0.5);
    resizeThenWait(720.0f, 0.3);
    EXPECT_TRUE(window.visible) << "0.6 s after the first change, 0.3 s after the second";
    sim.advance(0.25);
    sim.pump();
    EXPECT_FALSE(window.visible);
    EXPECT_DOUBLE_EQ(window.alpha, 1.0);
    EXPECT_FALSE(controller->previewTimerPending());
}

TEST_F(HotKeys, HideIconWarningOnlyWhenTheBoxIsTickedOn) {
    ASSERT_TRUE(startController());
    alerts.clear();
    QCheckBox hideBox(QStringLiteral("Hide the menu icon"));
    QCheckBox otherBox(QStringLiteral("Show space badges"));
    defaults().setInteger("hideIcon", 1);
    controller->updateState(&otherBox);
    EXPECT_TRUE(alerts.empty());
    controller->updateState(&hideBox);
    ASSERT_EQ(alertsTitled("Hide the menu icon").size(), 1u);
    EXPECT_TRUE(alerts[0].sheet);
    defaults().setInteger("hideIcon", 0);
    controller->updateState(&hideBox);
    EXPECT_EQ(alerts.size(), 1u);
}

} // namespace
} // namespace velora::test
