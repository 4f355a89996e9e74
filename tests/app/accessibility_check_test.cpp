// The permission check at start-up: granted, refused, and granted while waiting.
#include "app_fixture.h"

namespace velora::test {
namespace {

using PermissionCheck = AppTest;

TEST_F(PermissionCheck, GrantedSetsTheTimeoutWithoutAsking) {
    sim.setAccessibilityEnabled(true);
    ASSERT_TRUE(startController());
    EXPECT_FLOAT_EQ(sim.messagingTimeout(), 0.2f);
    for (const auto& a : alerts) EXPECT_NE(a.title, "Error");
    EXPECT_EQ(terminations, 0);
}

TEST_F(PermissionCheck, QuitEndsBeforeAnythingElseStarts) {
    sim.setAccessibilityEnabled(false);
    answer = kAlertFirstButtonReturn + 1; // "Quit"
    EXPECT_FALSE(startController());
    EXPECT_EQ(terminations, 1);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].title, "Error");
    EXPECT_EQ(alerts[0].windowTitle, "Velora");
    EXPECT_EQ(alerts[0].buttons, (std::vector<std::string>{"Enable", "Quit"}));
    EXPECT_NE(alerts[0].text.find("called \"Enable access for assistive devices\".\n\nIf you want, Velora can enable it for you."),
              std::string::npos);
    EXPECT_EQ(sim.countCalls("script"), 0);
    EXPECT_EQ(sim.countCalls("openSettings"), 0);
    EXPECT_FALSE(defaults().boolForKey("firstRun2"));
    EXPECT_TRUE(registered().empty());
}

TEST_F(PermissionCheck, GrantedDuringTheWaitContinuesStartUp) {
    sim.setAccessibilityEnabled(false);
    sim.setScriptEnablesAccessibility(false);
    sim.enableAccessibilityAfterChecks(5);
    ASSERT_TRUE(startController());
    EXPECT_EQ(terminations, 0);
    EXPECT_FLOAT_EQ(sim.messagingTimeout(), 0.2f);
    EXPECT_TRUE(defaults().boolForKey("firstRun2"));
    EXPECT_EQ(registered().size(), 6u);
    EXPECT_EQ(sim.countCalls("script"), 1);
    EXPECT_EQ(sim.countCalls("openSettings"), 1);
}

TEST_F(PermissionCheck, NeverGrantedEndsAfterTheWait) {
    sim.setAccessibilityEnabled(false);
    sim.setScriptEnablesAccessibility(false);
    const double before = sim.now();
    EXPECT_FALSE(startController());
    EXPECT_EQ(terminations, 1);
    EXPECT_LE(sim.now() - before, 40.0 + 1e-6);
}

} // namespace
} // namespace velora::test
