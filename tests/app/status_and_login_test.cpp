// The status item's life cycle, re-opening, and the login entry.
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
    const qint64 colourIcon = item->icon().cacheKey();
    defaults().setInteger("monoIcon", 1);
    settingsChanged();
    EXPECT_EQ(controller->statusItem(), item);
    EXPECT_NE(item->icon().cacheKey(), colourIcon);
    EXPECT_FALSE(item->icon().isNull());
    defaults().setInteger("hideIcon", 1);
    settingsChanged();
    EXPECT_EQ(controller->statusItem(), nullptr);
    defaults().setInteger("hideIcon", 0);
    settingsChanged();
    ASSERT_NE(controller->statusItem(), nullptr);

    // The remade menu acts: Preferences, About, a separator, Quit.
    prefsWindow()->hide();
    QList<QAction*> actions = controller->statusItem()->contextMenu()->actions();
    ASSERT_EQ(actions.size(), 4);
    actions[0]->trigger();
    EXPECT_TRUE(prefsWindow()->isVisible());
    actions[1]->trigger();
    EXPECT_TRUE(controller->aboutWindow()->isVisible());
    EXPECT_EQ(terminations, 0);
    actions[3]->trigger();
    EXPECT_EQ(terminations, 1);
}

TEST_F(StatusItem, ReopenShowsThePreferencesWhenTheIconIsHidden) {
    defaults().setBool("firstRun2", true); // no welcome window in the way
    defaults().setInteger("hideIcon", 1);
    ASSERT_TRUE(startController());
    EXPECT_FALSE(prefsWindow()->isVisible());
    EXPECT_TRUE(controller->applicationShouldHandleReopen());
    EXPECT_TRUE(prefsWindow()->isVisible());
}

TEST_F(LoginItems, InsertedOnceRemovedExactlyAndForeignEntriesSurvive) {
    sim.addLoginItem("editor.desktop", std::string("/usr/bin/editor"));
    sim.addLoginItem("helper.desktop", std::string("/usr/bin/velora-helper"));
    sim.addLoginItem("broken.desktop", std::nullopt);
    ASSERT_TRUE(startController("/usr/bin/velora"));
    auto ours = [&] {
        int n = 0;
        for (const LoginItem& item : sim.loginItemList())
            n += item.resolved == std::optional<std::string>("/usr/bin/velora");
        return n;
    };
    EXPECT_EQ(ours(), 1);
    settingsChanged();
    settingsChanged();
    EXPECT_EQ(ours(), 1);
    // Duplicates, e.g. from older versions, all go when the setting is off.
    sim.addLoginItem("velora-old.desktop", std::string("/usr/bin/velora"));
    defaults().setInteger("startAtLogin", 0);
    settingsChanged();
    std::vector<std::string> left;
    for (const LoginItem& item : sim.loginItemList()) left.push_back(item.id);
    EXPECT_EQ(left, (std::vector<std::string>{"editor.desktop", "helper.desktop", "broken.desktop"}));
}

} // namespace
} // namespace velora::test
