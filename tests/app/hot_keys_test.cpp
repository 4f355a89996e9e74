// Hot key registration on every settings change, shortcut recording, the panel-size preview
// and the warning for hiding the menu icon.
#include <QCheckBox>

#include "app_fixture.h"
#include "hotkeys/sg_key_combo.h"

namespace velora::test {
namespace {

using HotKeys = AppTest;

TEST_F(HotKeys, SixCycleKeysRegisteredAndReplacedOnEveryChange) {
    ASSERT_TRUE(startController());
    std::vector<SGHotKeyRef> first = registered();
    ASSERT_EQ(first.size(), 6u);
    for (const char* id : VeloraController::hotKeyIdentifiers())
        EXPECT_EQ(isRegistered(id), std::string(id) != "KeyUniversalBackward") << id;
    EXPECT_EQ(controller->keyCycleWindowForward()->keyCombo(), SGKeyCombo(48, 256));

    // Even a recorded backward key stays unregistered outside a switch.
    defaults().setObject("KeyUniversalBackward", SGKeyCombo(50, 2048).plistRepresentation());
    defaults().setObject("KeyCycleAppForward", SGKeyCombo(12, 4096).plistRepresentation());
    controller->updateState(controller.get());
    std::vector<SGHotKeyRef> second = registered();
    ASSERT_EQ(second.size(), 6u);
    for (const auto& key : second)
        EXPECT_EQ(std::find(first.begin(), first.end(), key), first.end()) << "an old hot key is still registered";
    EXPECT_FALSE(isRegistered("KeyUniversalBackward"));
    EXPECT_EQ(controller->keyUniversalBackward()->keyCombo(), SGKeyCombo(50, 2048));
    EXPECT_EQ(controller->keyCycleAppForward()->keyCombo(), SGKeyCombo(12, 4096));

    // The preferences see the combinations of all seven.
    std::map<std::string, SGKeyCombo> combos = controller->keysDictionary();
    EXPECT_EQ(combos.size(), 7u);
    EXPECT_EQ(combos["KeyCycleAppWindowBackward"], SGKeyCombo(50, 768));

    // A cleared combination is not registered.
    defaults().setObject("KeyCycleWindowBackward", SGKeyCombo::clearKeyCombo().plistRepresentation());
    controller->updateState(controller.get());
    EXPECT_EQ(registered().size(), 5u);
    EXPECT_FALSE(isRegistered("KeyCycleWindowBackward"));
}

TEST_F(HotKeys, KeysDictionaryBeforeTheFirstRegistrationHasSevenClearKeys) {
    VeloraController fresh;
    std::map<std::string, SGHotKeyRef> keys = fresh.hotKeysDictionary();
    ASSERT_EQ(keys.size(), 7u);
    for (const auto& [id, key] : keys) {
        ASSERT_NE(key, nullptr) << id;
        EXPECT_TRUE(key->identifier().empty());
    }
    EXPECT_NE(fresh.keyUniversalBackward(), nullptr);
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
    defaults().setFloat("windowWidth", 700.0f);
    controller->updateWindowSize(nullptr);
    EXPECT_FLOAT_EQ(VLHandler::sharedHandler().width(), 700.0f);
    EXPECT_TRUE(window.visible);
    EXPECT_DOUBLE_EQ(window.alpha, 0.5);
    sim.advance(0.3);
    sim.pump();
    defaults().setFloat("windowWidth", 720.0f);
    controller->updateWindowSize(nullptr);
    sim.advance(0.3);
    sim.pump();
    // 0.6 s after the first change, 0.3 s after the second: still up.
    EXPECT_TRUE(window.visible);
    EXPECT_TRUE(controller->previewTimerPending());
    sim.advance(0.25);
    sim.pump();
    EXPECT_FALSE(window.visible);
    EXPECT_DOUBLE_EQ(window.alpha, 1.0);
    EXPECT_FALSE(controller->previewTimerPending());
}

TEST_F(HotKeys, HideIconWarningOnlyWhenTheBoxIsTicked) {
    ASSERT_TRUE(startController());
    alerts.clear();
    QCheckBox hideBox(QStringLiteral("Hide the menu icon"));
    QCheckBox otherBox(QStringLiteral("Show space badges"));

    defaults().setInteger("hideIcon", 1);
    controller->updateState(&otherBox);
    EXPECT_TRUE(alerts.empty());
    controller->updateState(&hideBox);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_TRUE(alerts[0].sheet);
    EXPECT_EQ(alerts[0].title, "Hide the menu icon");
    EXPECT_EQ(alerts[0].text,
              "You won't be able to easily access the Preferences and About window with the menu icon hidden. If you "
              "want to reach either of them, run Velora from within Finder.");

    defaults().setInteger("hideIcon", 0);
    controller->updateState(&hideBox);
    EXPECT_EQ(alerts.size(), 1u);
}

} // namespace
} // namespace velora::test
