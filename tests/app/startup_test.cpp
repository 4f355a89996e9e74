// Start-up: the permission check, the first-run settings, the settings written at every
// start, the welcome sheet.
#include <QLabel>

#include "app_fixture.h"
#include "hotkeys/sg_key_combo.h"

namespace velora::test {
namespace {

using Startup = AppTest;

TEST_F(Startup, FirstStartWritesTheDefaultsGivesThemToTheEngineAndWelcomes) {
    sim.setAccessibilityEnabled(true);
    ASSERT_TRUE(startController());
    EXPECT_FLOAT_EQ(sim.messagingTimeout(), 0.2f);
    EXPECT_TRUE(UserDefaults(dir / "defaults.plist").boolForKey("firstRun2")) << "saved at once";
    VLHandler& e = VLHandler::sharedHandler();
    EXPECT_FLOAT_EQ(e.width(), 637.0f);
    EXPECT_FLOAT_EQ(e.displayDelay(), 0.2f);
    EXPECT_EQ(e.windowShowWindowName(), 1);
    EXPECT_EQ(e.applicationDelegate(), controller.get());
    // The preferences opened with the welcome sheet on them.
    EXPECT_TRUE(prefsWindow()->isVisible());
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_TRUE(alerts[0].sheet);
    EXPECT_EQ(alerts[0].title, "Welcome to Velora!");
    EXPECT_EQ(terminations, 0);
}

TEST_F(Startup, LaterStartsKeepTheUsersChoicesButReplaceAPanelSizeOfZero) {
    ASSERT_TRUE(startController());
    defaults().setObject("KeyCycleAppForward", SGKeyCombo(12, 4096).plistRepresentation());
    defaults().setInteger("startAtLogin", 0);
    defaults().setFloat("windowWidth", 0.0f);
    defaults().removeObject("windowHeight");
    defaults().removeObject("displayDelay");
    defaults().synchronize();
    prefsWindow()->hide();
    alerts.clear();

    ASSERT_TRUE(startController());
    EXPECT_TRUE(alerts.empty());
    EXPECT_FALSE(prefsWindow()->isVisible());
    EXPECT_EQ(SGKeyCombo(defaults().objectForKey("KeyCycleAppForward")), SGKeyCombo(12, 4096));
    EXPECT_EQ(defaults().integerForKey("startAtLogin"), 0);
    EXPECT_FLOAT_EQ(defaults().floatForKey("windowWidth"), 637.0f);
    EXPECT_FLOAT_EQ(defaults().floatForKey("windowHeight"), 437.0f);
    // The delay is written at the first start only: a deleted one reads 0, shown at once.
    EXPECT_TRUE(defaults().objectForKey("displayDelay").isNone());
    EXPECT_FLOAT_EQ(VLHandler::sharedHandler().displayDelay(), 0.0f);
    // The delay label rounds to a tenth.
    defaults().setFloat("displayDelay", 0.46f);
    settingsChanged();
    QLabel* label = PrefsController::sharedPrefsWindowController().displayDelayLabel();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("0.5"));
}

// Without assistive access nothing else starts: the user enables it (Velora tries, then opens
// the settings and waits up to 40 s) or quits.
TEST_F(Startup, WithoutAccessTheUserEnablesItOrQuits) {
    sim.setAccessibilityEnabled(false);
    sim.setScriptEnablesAccessibility(false);
    answer = kAlertFirstButtonReturn + 1; // "Quit"
    EXPECT_FALSE(startController());
    EXPECT_EQ(terminations, 1);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].buttons, (std::vector<std::string>{"Enable", "Quit"}));
    EXPECT_EQ(sim.countCalls("script") + sim.countCalls("openSettings"), 0);
    EXPECT_FALSE(defaults().boolForKey("firstRun2"));
    EXPECT_TRUE(registered().empty());

    answer = kAlertFirstButtonReturn; // "Enable", never granted
    const double before = sim.now();
    EXPECT_FALSE(startController());
    EXPECT_EQ(terminations, 2);
    EXPECT_LE(sim.now() - before, 40.0 + 1e-6);

    sim.enableAccessibilityAfterChecks(5); // granted during the wait
    ASSERT_TRUE(startController());
    EXPECT_EQ(terminations, 2);
    EXPECT_FLOAT_EQ(sim.messagingTimeout(), 0.2f);
    EXPECT_EQ(registered().size(), 6u);
    EXPECT_EQ(sim.countCalls("script"), 2);
    EXPECT_EQ(sim.countCalls("openSettings"), 2);
}

} // namespace
} // namespace velora::test
