// Panel items: the three kinds, titles, identifiers, fading, activation and re-opening.
#include "panel_fixture.h"
#include "support/solid_picture.h"

namespace velora {
namespace {

using test::PanelTest;

// A window item whose picture no grab will bring.
IKBBrowserItemRef windowItemWithoutGrab(IKBController& controller, VLElementRef record) {
    auto title = record->getTitle();
    return std::make_shared<IKBBrowserItem>(IKBBrowserItem::Kind::Window, std::move(record), nullptr, title, nullptr,
                                            controller.weak_from_this());
}

class BrowserItemTest : public PanelTest {};

TEST_F(BrowserItemTest, ApplicationItemsShowTheIconAndAHiddenApplicationStartsFaded) {
    sim::ApplicationSpec options;
    options.name = "Visible";
    pid_t visible = sim.addApplication(options);
    options.name = "Hidden";
    options.hidden = true;
    pid_t hidden = sim.addApplication(options);

    auto plain = IKBBrowserItem::itemWithRunningApplication(app(visible), *controller);
    EXPECT_EQ(plain->image(), app(visible)->icon());
    EXPECT_EQ(plain->title(), "Visible");
    EXPECT_FALSE(plain->isWindow());
    EXPECT_FALSE(plain->isEmpty());
    EXPECT_FALSE(plain->isTransparent());

    auto faded = IKBBrowserItem::itemWithRunningApplication(app(hidden), *controller);
    EXPECT_TRUE(faded->isTransparent());
    // Redrawn at the icon's largest stored size, half transparent.
    EXPECT_EQ(faded->image()->size(), (Size{128, 128}));
    EXPECT_NEAR(middleAlpha(faded->image()), 128, 2);
    // Not in the panel yet: nothing was selected or redrawn.
    EXPECT_TRUE(view.selections.empty());
    EXPECT_TRUE(view.reloadedCells.empty());
}

TEST_F(BrowserItemTest, TitlesAndSubtitlesFollowTheSettingsAtEveryRequest) {
    auto [pid, number] = appWithWindow("org.example.mail", "Inbox");
    auto window = windowItemWithoutGrab(*controller, windowRecord(pid, number));
    auto application = IKBBrowserItem::itemWithRunningApplication(app(pid), *controller);
    auto empty = IKBBrowserItem::emptyItem(*controller);
    VLSettings& settings = VLSettings::shared();

    settings.windowShowAppName = 1;
    EXPECT_EQ(window->imageTitle(), std::nullopt);
    EXPECT_EQ(window->imageSubtitle(), "org.example.mail");
    EXPECT_EQ(application->imageTitle(), std::nullopt);
    EXPECT_EQ(empty->imageTitle(), std::nullopt);

    settings.windowShowWindowName = 1;
    settings.windowShowAppName = 0;
    settings.appShowAppName = 1;
    EXPECT_EQ(window->imageTitle(), "Inbox");
    EXPECT_EQ(window->imageSubtitle(), std::nullopt);
    EXPECT_EQ(application->imageTitle(), "org.example.mail");
    EXPECT_EQ(application->imageSubtitle(), std::nullopt);
    EXPECT_EQ(empty->imageTitle(), "Nothing to display...");
    EXPECT_TRUE(empty->isEmpty());
    EXPECT_EQ(empty->imageRepresentationType(), "IKImageBrowserNSImageRepresentationType");
    EXPECT_TRUE(empty->imageRepresentation());
}

TEST_F(BrowserItemTest, EveryIdentifierRequestGivesTheTitleWithANewNumber) {
    sim::ApplicationSpec options;
    options.name = "Mail";
    auto item = IKBBrowserItem::itemWithRunningApplication(app(sim.addApplication(options)), *controller);
    session.id = 11;
    EXPECT_EQ(item->imageUID(), "Mail12.000000");
    EXPECT_EQ(item->imageUID(), "Mail13.000000");
}

TEST_F(BrowserItemTest, AnItemFadesOnceAndNeverWithoutAPictureOfFivePoints) {
    auto [pid, number] = appWithWindow("org.example.a", "A");
    auto [pid2, number2] = appWithWindow("org.example.b", "B");
    controller->populateItems({windowRecord(pid, number), windowRecord(pid2, number2)});
    finishPictures();
    IKBBrowserItemRef first = controller->browserData()[0];
    view.setSelectedIndex(0);
    const std::size_t selectionsBefore = view.selections.size();

    first->fadeImage(true);
    EXPECT_TRUE(first->isTransparent());
    EXPECT_EQ(view.selectedIndex(), 1u);
    EXPECT_EQ(view.selections.size(), selectionsBefore + 1);
    EXPECT_EQ(view.reloadedCells.back(), 0);
    ImageRef once = first->image();

    first->fadeImage(true); // a second fade changes nothing and moves nothing
    EXPECT_EQ(first->image(), once);
    EXPECT_NEAR(middleAlpha(once), 128, 2);
    EXPECT_EQ(view.selections.size(), selectionsBefore + 1);

    auto tiny = windowItemWithoutGrab(*controller, windowRecord(pid, number));
    tiny->setImage(test::solidPicture(4, 300, Qt::red));
    tiny->fadeImage(true);
    EXPECT_FALSE(tiny->isTransparent());
    auto none = windowItemWithoutGrab(*controller, windowRecord(pid, number));
    none->fadeImage(true);
    EXPECT_FALSE(none->isTransparent());
    EXPECT_EQ(view.selections.size(), selectionsBefore + 1);
}

TEST_F(BrowserItemTest, ReOpenAsksForALaunchUnlessMailHasAnOpenWindow) {
    auto [mail, mailWindow] = appWithWindow("com.apple.mail", "Inbox");
    sim::ApplicationSpec options;
    options.bundleIdentifier = "org.example.editor";
    options.executablePath = "/usr/bin/editor";
    pid_t editor = sim.addApplication(options);

    IKBBrowserItem::reOpen(app(editor));
    EXPECT_EQ(sim.countCalls("launch"), 0); // the setting is off

    VLSettings::shared().shouldReOpen = 1;
    IKBBrowserItem::reOpen(app(mail));
    EXPECT_EQ(sim.countCalls("launch"), 0);
    IKBBrowserItem::reOpen(app(editor));
    ASSERT_EQ(sim.countCalls("launch"), 1);
    EXPECT_EQ(sim.calls().back().detail, "/usr/bin/editor 196864"); // 0x30100

    sim.destroyWindow(mailWindow);
    IKBBrowserItem::reOpen(app(mail));
    EXPECT_EQ(sim.countCalls("launch"), 2);
    EXPECT_EQ(sim.calls().back().detail, "/usr/bin/com.apple.mail 196864");
}

TEST_F(BrowserItemTest, ActivatingRaisesAWindowActivatesAnApplicationAndLeavesTheEmptyItemAlone) {
    auto [pid, number] = appWithWindow("org.example.a", "A");
    VLSettings::shared().shouldReOpen = 1;

    IKBBrowserItem::emptyItem(*controller)->activate();
    EXPECT_TRUE(sim.calls().empty());

    IKBBrowserItem::itemWithRunningApplication(app(pid), *controller)->activate();
    auto calls = sim.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].kind, "activate");
    EXPECT_EQ(calls[0].detail, "3");
    EXPECT_EQ(calls[1].kind, "launch");

    sim.clearCalls();
    windowItemWithoutGrab(*controller, windowRecord(pid, number))->activate();
    EXPECT_EQ(sim.countCalls("raise"), 3);
    EXPECT_EQ(sim.focusedWindow(), number);
}

} // namespace
} // namespace velora
