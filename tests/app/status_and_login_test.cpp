// The status item's life cycle and the login entry.
#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

#include "app_fixture.h"

namespace velora::test {
namespace {

using StatusItem = AppTest;
using LoginItems = AppTest;

TEST_F(StatusItem, KeptAcrossIconChangesRemovedWhenHiddenAndMadeAgain) {
    ASSERT_TRUE(startController());
    QSystemTrayIcon* item = controller->statusItem();
    ASSERT_NE(item, nullptr);
    defaults().setInteger("monoIcon", 1);
    settingsChanged();
    EXPECT_EQ(controller->statusItem(), item);
    defaults().setInteger("hideIcon", 1);
    settingsChanged();
    EXPECT_EQ(controller->statusItem(), nullptr);
    defaults().setInteger("hideIcon", 0);
    settingsChanged();
    ASSERT_NE(controller->statusItem(), nullptr);
    // The remade menu acts: its last entry quits.
    controller->statusItem()->contextMenu()->actions().back()->trigger();
    EXPECT_EQ(terminations, 1);
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
