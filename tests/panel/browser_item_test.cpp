// Panel items: fading, activation and re-opening.
#include "panel_fixture.h"
#include "support/solid_picture.h"

namespace velora {
namespace {

class BrowserItemTest : public test::PanelTest {};

TEST_F(BrowserItemTest, AnItemFadesOnceAndNeverWithoutAPictureOfFivePoints) {
    auto w = appsWithWindows({"A", "B"});
    controller->populateItems(windowRecords(w));
    finishPictures();
    view.setSelectedIndex(0);
    const std::size_t selectionsBefore = view.selections.size();

    item(0)->fadeImage(true);
    EXPECT_TRUE(item(0)->isTransparent());
    EXPECT_EQ(view.selectedIndex(), 1u);
    EXPECT_EQ(view.reloadedCells.back(), 0);
    const ImageRef once = item(0)->image();
    item(0)->fadeImage(true); // a second fade changes nothing and moves nothing
    EXPECT_EQ(item(0)->image(), once);
    EXPECT_NEAR(middleAlpha(once), 128, 2);

    auto tiny = windowItemWithoutGrab(w[0]);
    tiny->setImage(test::solidPicture(4, 300, Qt::red));
    tiny->fadeImage(true);
    auto none = windowItemWithoutGrab(w[0]);
    none->fadeImage(true);
    EXPECT_FALSE(tiny->isTransparent());
    EXPECT_FALSE(none->isTransparent());
    EXPECT_EQ(view.selections.size(), selectionsBefore + 1);
}

TEST_F(BrowserItemTest, ActivatingAnApplicationReOpensItUnlessItIsMailWithAnOpenWindow) {
    auto [mail, mailWindow] = appWithWindow("com.apple.mail", "Inbox");
    auto w = appsWithWindows({"Editor"})[0];
    IKBBrowserItemRef editor = IKBBrowserItem::itemWithRunningApplication(app(w.pid), *controller);
    editor->activate();
    EXPECT_EQ(sim.countCalls("launch"), 0); // re-opening is off

    VLSettings::shared().shouldReOpen = 1;
    sim.clearCalls();
    IKBBrowserItem::emptyItem(*controller)->activate();
    EXPECT_TRUE(sim.calls().empty());
    IKBBrowserItem::reOpen(app(mail));
    EXPECT_EQ(sim.countCalls("launch"), 0);
    editor->activate();
    EXPECT_EQ(sim.countCalls("activate"), 1);
    ASSERT_EQ(sim.countCalls("launch"), 1);
    EXPECT_EQ(sim.calls().back().detail.rfind("/usr/bin/org.example.Editor ", 0), 0u);
    sim.destroyWindow(mailWindow);
    IKBBrowserItem::reOpen(app(mail));
    EXPECT_EQ(sim.countCalls("launch"), 2);
}

} // namespace
} // namespace velora
