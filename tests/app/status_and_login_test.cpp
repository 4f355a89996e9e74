// The status item's life cycle, re-opening, and the login entry.
#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

#include "app_fixture.h"

namespace velora::test {
namespace {

using StatusItem = AppTest;
using LoginItems = AppTest;

std::vector<std::string> menuTitles(QMenu* menu) {
    std::vector<std::string> out;
    for (QAction* a : menu->actions()) {
        out.push_back(a->isSeparator() ? "-" : a->text().toStdString());
        EXPECT_TRUE(a->shortcut().isEmpty());
    }
    return out;
}

TEST_F(StatusItem, KeptAcrossIconChangesRemovedWhenHiddenAndMadeAgain) {
    ASSERT_TRUE(startController());
    QSystemTrayIcon* item = controller->statusItem();
    ASSERT_NE(item, nullptr);
    ASSERT_NE(item->contextMenu(), nullptr);
    EXPECT_EQ(menuTitles(item->contextMenu()), (std::vector<std::string>{"Preferences", "About", "-", "Quit"}));
    const qint64 colourIcon = item->icon().cacheKey();

    defaults().setInteger("monoIcon", 1);
    controller->updateState(controller.get());
    EXPECT_EQ(controller->statusItem(), item);
    EXPECT_NE(item->icon().cacheKey(), colourIcon);
    EXPECT_FALSE(item->icon().isNull());

    defaults().setInteger("hideIcon", 1);
    controller->updateState(controller.get());
    EXPECT_EQ(controller->statusItem(), nullptr);

    defaults().setInteger("hideIcon", 0);
    controller->updateState(controller.get());
    ASSERT_NE(controller->statusItem(), nullptr);
    EXPECT_EQ(menuTitles(controller->statusItem()->contextMenu()).size(), 4u);
}

TEST_F(StatusItem, MenuEntriesActAndQuitEnds) {
    ASSERT_TRUE(startController());
    PrefsController::sharedPrefsWindowController().window()->hide();
    QList<QAction*> actions = controller->statusItem()->contextMenu()->actions();
    actions[0]->trigger();
    EXPECT_TRUE(PrefsController::sharedPrefsWindowController().window()->isVisible());
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
    QMainWindow* prefs = PrefsController::sharedPrefsWindowController().window();
    EXPECT_FALSE(prefs->isVisible());
    EXPECT_TRUE(controller->applicationShouldHandleReopen());
    EXPECT_TRUE(prefs->isVisible());
}

TEST_F(LoginItems, InsertedOnceRemovedExactlyAndForeignEntriesSurvive) {
    sim.addLoginItem("editor.desktop", std::string("/usr/bin/editor"));
    sim.addLoginItem("helper.desktop", std::string("/usr/bin/velora-helper"));
    sim.addLoginItem("broken.desktop", std::nullopt);
    ASSERT_TRUE(startController("/usr/bin/velora"));
    auto ours = [&] {
        int n = 0;
        for (const LoginItem& item : sim.loginItemList())
            if (item.resolved == std::optional<std::string>("/usr/bin/velora")) ++n;
        return n;
    };
    EXPECT_EQ(ours(), 1);
    // Every later change leaves the one entry alone.
    controller->updateState(controller.get());
    controller->updateState(controller.get());
    EXPECT_EQ(ours(), 1);

    // Duplicates, e.g. from older versions, all go when the setting is off.
    sim.addLoginItem("velora-old.desktop", std::string("/usr/bin/velora"));
    defaults().setInteger("startAtLogin", 0);
    controller->updateState(controller.get());
    EXPECT_EQ(ours(), 0);
    std::vector<std::string> left;
    for (const LoginItem& item : sim.loginItemList()) left.push_back(item.id);
    EXPECT_EQ(left, (std::vector<std::string>{"editor.desktop", "helper.desktop", "broken.desktop"}));
}

} // namespace
} // namespace velora::test
