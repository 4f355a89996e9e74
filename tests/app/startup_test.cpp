// Start-up: the permission check, the first-run settings, the settings written at every
// start, the welcome sheet, the login entry. (The status item in real trays is checked end to
// end.)
#include "app_fixture.h"

namespace velora::test {
namespace {

using Startup = AppTest;
using LoginItems = AppTest;

TEST_F(Startup, FirstStartWelcomesLaterStartsKeepTheUsersChoicesButReplaceAPanelSizeOfZero) {
    ASSERT_TRUE(startController());
    // (The preferences window and the welcome sheet of a first start are checked end to end.)
    // The window opened before the hot keys were registered, yet shows them.
    EXPECT_EQ(PrefsController::sharedPrefsWindowController().keyCycleAppForward()->displayedText(),
              "Super+Tab");

    defaults().setInteger("startAtLogin", 0);
    defaults().setFloat("windowWidth", 0.0f);
    prefsWindow()->hide();
    alerts.clear();
    ASSERT_TRUE(startController());
    EXPECT_TRUE(alerts.empty());
    EXPECT_FALSE(prefsWindow()->isVisible());
    EXPECT_EQ(defaults().integerForKey("startAtLogin"), 0);
    EXPECT_FLOAT_EQ(defaults().floatForKey("windowWidth"), 637.0f);
}

// Without access to the input devices nothing else starts. (The offer to enable it and wait
// for it has nothing to enable on X11 or Wayland.)
TEST_F(Startup, WithoutAccessNothingStarts) {
    sim.setAccessibilityEnabled(false);
    answer = kAlertFirstButtonReturn + 1; // "Quit"
    EXPECT_FALSE(startController());
    EXPECT_EQ(terminations, 1);
    EXPECT_EQ(sim.countCalls("script") + sim.countCalls("openSettings"), 0) << "Quit waits for no grant";
    EXPECT_TRUE(registered().empty());
}

// Duplicates of our entry, e.g. from older versions, all go when the setting is off.
TEST_F(LoginItems, InsertedOnceRemovedExactlyAndForeignEntriesSurvive) {
    sim.addLoginItem("helper.desktop", std::string("/usr/bin/velora-helper"));
    sim.addLoginItem("broken.desktop", std::nullopt);
    ASSERT_TRUE(startController());
    settingsChanged();
    EXPECT_EQ(sim.loginItemList().size(), 3u);
    sim.addLoginItem("velora-old.desktop", std::string("/usr/bin/velora"));
    defaults().setInteger("startAtLogin", 0);
    settingsChanged();
    std::vector<std::string> left;
    for (const LoginItem& item : sim.loginItemList())
        left.push_back(item.id);
    EXPECT_EQ(left, (std::vector<std::string>{"helper.desktop", "broken.desktop"}));
}

} // namespace
} // namespace velora::test
