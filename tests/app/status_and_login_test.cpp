// The login entry. (The status item in real trays is checked end to end.)
#include "app_fixture.h"

namespace velora::test {
namespace {

using LoginItems = AppTest;

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
