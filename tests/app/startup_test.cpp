// Start-up: the first-run settings, the settings written at every start, the welcome sheet.
#include <QLabel>

#include "velora_config.h"

#include "app_fixture.h"
#include "hotkeys/sg_key_combo.h"

namespace velora::test {
namespace {

using Startup = AppTest;

SGKeyCombo stored(UserDefaults& d, const char* key) { return SGKeyCombo(d.objectForKey(key)); }

TEST_F(Startup, FirstStartWritesTheDefaultsTableAndWelcomes) {
    ASSERT_TRUE(startController());
    UserDefaults& d = defaults();
    EXPECT_TRUE(d.boolForKey("firstRun2"));
    EXPECT_EQ(d.integerForKey("startAtLogin"), 1);
    EXPECT_EQ(d.integerForKey("showAppBadges"), 1);
    EXPECT_EQ(stored(d, "KeyCycleAppForward"), SGKeyCombo(48, 2048));
    EXPECT_EQ(stored(d, "KeyCycleWindowForward"), SGKeyCombo(48, 256));
    EXPECT_EQ(stored(d, "KeyCycleAppWindowForward"), SGKeyCombo(50, 256));
    EXPECT_EQ(stored(d, "KeyCycleAppBackward"), SGKeyCombo(48, 2560));
    EXPECT_EQ(stored(d, "KeyCycleWindowBackward"), SGKeyCombo(48, 768));
    EXPECT_EQ(stored(d, "KeyCycleAppWindowBackward"), SGKeyCombo(50, 768));
    EXPECT_TRUE(d.objectForKey("KeyUniversalBackward").isNone());
    EXPECT_FLOAT_EQ(d.floatForKey("windowWidth"), 637.0f);
    EXPECT_FLOAT_EQ(d.floatForKey("windowHeight"), 437.0f);
    EXPECT_TRUE(d.boolForKey("displayDelayDefault"));
    EXPECT_FLOAT_EQ(d.floatForKey("displayDelay"), 0.2f);
    EXPECT_TRUE(d.boolForKey("showNamesDefault"));
    EXPECT_EQ(d.integerForKey("appShowAppName"), 1);
    EXPECT_EQ(d.integerForKey("windowShowAppName"), 1);
    EXPECT_EQ(d.integerForKey("windowShowWindowName"), 1);
    // Options that are off stay absent.
    EXPECT_TRUE(d.objectForKey("hideIcon").isNone());
    EXPECT_TRUE(d.objectForKey("ignoreMinimized").isNone());

    // The engine got the settings.
    VLHandler& e = VLHandler::sharedHandler();
    EXPECT_FLOAT_EQ(e.width(), 637.0f);
    EXPECT_FLOAT_EQ(e.displayDelay(), 0.2f);
    EXPECT_EQ(e.showAppBadges(), 1);
    EXPECT_EQ(e.windowShowWindowName(), 1);
    EXPECT_EQ(e.applicationDelegate(), controller.get());

    // The preferences opened with the welcome sheet on them.
    EXPECT_TRUE(PrefsController::sharedPrefsWindowController().window()->isVisible());
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_TRUE(alerts[0].sheet);
    EXPECT_EQ(alerts[0].windowTitle, "Velora");
    EXPECT_EQ(alerts[0].title, "Welcome to Velora!");
    EXPECT_EQ(alerts[0].buttons, std::vector<std::string>{"Okay"});
    EXPECT_FALSE(alerts[0].hasSuppression);
    EXPECT_EQ(alerts[0].text.substr(0, 31), "Hello there! As soon as you cho");
    EXPECT_NE(alerts[0].text.find("Spaces: Velora has to see a window at least once before being able to switch to it. \n\n"),
              std::string::npos);

    // The settings reached the file.
    UserDefaults reread(dir / "defaults.plist");
    EXPECT_TRUE(reread.boolForKey("firstRun2"));
    EXPECT_FLOAT_EQ(reread.floatForKey("displayDelay"), 0.2f);
}

TEST_F(Startup, SecondStartWritesNothingOnceAndKeepsTheUsersChoices) {
    ASSERT_TRUE(startController());
    defaults().setObject("KeyCycleAppForward", SGKeyCombo(12, 4096).plistRepresentation());
    defaults().setInteger("startAtLogin", 0);
    defaults().setInteger("appShowAppName", 0);
    defaults().setFloat("windowWidth", 500.0f);
    defaults().synchronize();
    PrefsController::sharedPrefsWindowController().window()->hide();
    alerts.clear();

    ASSERT_TRUE(restartController());
    EXPECT_TRUE(alerts.empty());
    EXPECT_FALSE(PrefsController::sharedPrefsWindowController().window()->isVisible());
    EXPECT_EQ(stored(defaults(), "KeyCycleAppForward"), SGKeyCombo(12, 4096));
    EXPECT_EQ(defaults().integerForKey("startAtLogin"), 0);
    EXPECT_EQ(defaults().integerForKey("appShowAppName"), 0);
    EXPECT_FLOAT_EQ(defaults().floatForKey("windowWidth"), 500.0f);
}

TEST_F(Startup, PanelSizeOfZeroIsReplacedAtEveryStartButTheDelayOnlyOnce) {
    ASSERT_TRUE(startController());
    defaults().setFloat("windowWidth", 0.0f);
    defaults().removeObject("windowHeight");
    defaults().removeObject("displayDelay");
    defaults().synchronize();

    ASSERT_TRUE(restartController());
    EXPECT_FLOAT_EQ(defaults().floatForKey("windowWidth"), 637.0f);
    EXPECT_FLOAT_EQ(defaults().floatForKey("windowHeight"), 437.0f);
    // The guard is still set: a deleted delay reads 0, the panel then shows at once.
    EXPECT_TRUE(defaults().objectForKey("displayDelay").isNone());
    EXPECT_FLOAT_EQ(VLHandler::sharedHandler().displayDelay(), 0.0f);
}

TEST_F(Startup, VersionAndDelayLabels) {
    ASSERT_TRUE(startController());
    ASSERT_NE(controller->versionLabel(), nullptr);
    EXPECT_EQ(controller->versionLabel()->text(), QString::fromUtf8("Version " VELORA_VERSION));
    defaults().setFloat("displayDelay", 0.46f);
    controller->updateState(controller.get());
    QLabel* label = PrefsController::sharedPrefsWindowController().displayDelayLabel();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("0.5"));
}

} // namespace
} // namespace velora::test
