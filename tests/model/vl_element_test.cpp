// Window records: construction, identity, attributes and actions.
#include "model_fixture.h"

namespace velora {
namespace {

using test::ModelTest;

std::vector<std::string> callKinds(const sim::SimDesktop& sim) {
    std::vector<std::string> kinds;
    for (const sim::Call& c : sim.calls()) kinds.push_back(c.kind + (c.kind == "activate" ? ":" + c.detail : ""));
    return kinds;
}

TEST_F(ModelTest, RecordsAreEqualByElementAndNullEqualsNothing) {
    auto [pid, w] = appWithWindow("org.example.a", "A");
    uint32_t other = sim.addWindow(pid);
    EXPECT_TRUE(record(pid, w)->isEqualTo(record(pid, w)));
    EXPECT_FALSE(record(pid, w)->isEqualTo(record(pid, other)));
    VLElementRef null = VLElement::elementWithElementRef(AXElement{});
    EXPECT_FALSE(null->isEqualTo(*null));
    EXPECT_FALSE(null->isEqualTo(record(pid, w)));
    EXPECT_FALSE(record(pid, w)->isEqualTo(VLElementRef()));
    EXPECT_EQ(null->alreadyFiltered(), VLElement::kNotFiltered);
}

TEST_F(ModelTest, FocusedWindowAndApplicationWindows) {
    EXPECT_EQ(VLElement::elementOfFocusedWindow(), nullptr);
    auto [pid, w1] = appWithWindow("org.example.a", "One");
    uint32_t w2 = sim.addWindow(pid);
    sim::WindowSpec unlisted;
    unlisted.listedInApplication = false;
    sim.addWindow(pid, unlisted);
    sim.focusWindow(w2);
    VLElementRef focused = VLElement::elementOfFocusedWindow();
    ASSERT_NE(focused, nullptr);
    EXPECT_TRUE(focused->isEqualTo(record(pid, w2)));
    EXPECT_EQ(focused->wid(), 0);

    auto records = VLElement::elementsForElementRef(accessibility().createApplication(pid));
    ASSERT_EQ(records.size(), 2u); // the application's own order: front to back
    EXPECT_TRUE(records[0]->isEqualTo(record(pid, w2)));
    EXPECT_TRUE(records[1]->isEqualTo(record(pid, w1)));
    EXPECT_TRUE(VLElement::elementsForElementRef(AXElement{}).empty());
}

TEST_F(ModelTest, TitleOfHungAndGoneApplications) {
    auto [pid, w] = appWithWindow("org.example.a", "Doc");
    VLElementRef r = matched(pid, w);
    EXPECT_EQ(r->getTitle(), "Doc");
    sim.setApplicationHung(pid, true);
    EXPECT_EQ(r->getTitle(), VLElement::kNotResponding);
    // Never matched: no pid, so no running application to vouch for it.
    EXPECT_EQ(record(pid, w)->getTitle(), std::nullopt);
    sim.terminateApplication(pid);
    EXPECT_EQ(r->getTitle(), std::nullopt);
}

TEST_F(ModelTest, DocumentSpaceAndApplicationNeedTheirSources) {
    sim::WindowSpec spec;
    spec.document = "file:///home/user/notes.txt";
    spec.space = 3;
    auto [a, wa] = appWithWindow("org.example.a", "A", spec);
    auto [b, wb] = appWithWindow("org.example.b", "B");
    VLElementRef ra = matched(a, wa);
    EXPECT_EQ(ra->documentURL().toLocalFile().toStdString(), "/home/user/notes.txt");
    EXPECT_TRUE(matched(b, wb)->documentURL().isEmpty());
    EXPECT_EQ(ra->getSpaceNumber(), 3);
    // Unmatched: no window number and no pid to ask about.
    EXPECT_EQ(record(a, wa)->getSpaceNumber(), 0);
    EXPECT_EQ(record(a, wa)->runningApplicationForWindow(), nullptr);
    sim.setApplicationHidden(a, true);
    EXPECT_TRUE(ra->checkIfHidden());
    EXPECT_FALSE(record(a, wa)->checkIfHidden());
}

TEST_F(ModelTest, RaiseRaisesThreeTimesAndActivatesTwice) {
    auto [pid, w] = appWithWindow("org.example.a", "A");
    VLElementRef r = matched(pid, w);
    sim.clearCalls();
    r->raise();
    std::vector<std::string> expected{"raise",      "setFrontmost", "setFocused", "raise", "activate:2",
                                      "setFrontmost", "setFocused", "raise",      "activate:2"};
    EXPECT_EQ(callKinds(sim), expected);
    EXPECT_EQ(sim.focusedWindow(), w);
}

TEST_F(ModelTest, CloseAndMinimiseThroughTheirButtons) {
    sim::WindowSpec locked;
    locked.closeEnabled = false;
    locked.hasMinimizeButton = false;
    auto [pid, w] = appWithWindow("org.example.a", "A");
    uint32_t lockedWindow = sim.addWindow(pid, locked);
    VLElementRef open = record(pid, w), fixed = record(pid, lockedWindow);

    EXPECT_TRUE(open->isClosable());
    EXPECT_TRUE(open->isMinimizable());
    EXPECT_FALSE(fixed->isClosable());
    EXPECT_FALSE(fixed->isMinimizable());
    fixed->minimizeWindow(); // no button: nothing happens
    EXPECT_FALSE(sim.window(lockedWindow).minimized);

    open->minimizeWindow();
    EXPECT_TRUE(sim.window(w).minimized);
    open->closeWindow();
    EXPECT_FALSE(sim.windowExists(w));
    EXPECT_FALSE(open->isClosable()); // gone
}

TEST_F(ModelTest, GrabWindowNeedsFivePointsAndAWindowNumber) {
    sim::WindowSpec narrow, small;
    narrow.size = Size{4.9, 480};
    small.size = Size{5, 120};
    small.color = QColor(10, 200, 30);
    auto [pid, wn] = appWithWindow("org.example.a", "Narrow", narrow);
    small.title = "Small";
    uint32_t ws = sim.addWindow(pid, small);

    EXPECT_EQ(record(pid, ws)->grabWindow(), nullptr); // not matched
    EXPECT_EQ(matched(pid, wn)->grabWindow(), nullptr);
    EXPECT_EQ(sim.countCalls("capture"), 0);
    ImageRef picture = matched(pid, ws)->grabWindow();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->size(), (Size{5, 120}));
    EXPECT_EQ(picture->representations().front().pixelColor(2, 60), QColor(10, 200, 30));

    sim.updateWindow(ws, [](sim::WindowSpec& s) { s.captureFails = true; });
    EXPECT_EQ(matched(pid, ws)->grabWindow(), nullptr);
}

} // namespace
} // namespace velora
