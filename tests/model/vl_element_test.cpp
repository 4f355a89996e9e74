// Window records: attributes read from their sources, and pictures.
#include "model_fixture.h"

namespace velora {
namespace {

using test::ModelTest;

// What needs a pid or a window number is unknown until the record is matched; a hung
// application's window reads as not responding, a gone one's as nothing.
TEST_F(ModelTest, AttributesNeedAMatchAndALiveApplication) {
    sim::WindowSpec spec;
    spec.space = 3;
    auto [pid, w] = appWithWindow("org.example.a", "Doc", spec);
    VLElementRef r = matched(pid, w), unmatched = record(pid, w);
    EXPECT_EQ(r->getSpaceNumber(), 3);
    EXPECT_EQ(unmatched->getSpaceNumber(), 0);
    EXPECT_EQ(unmatched->runningApplicationForWindow(), nullptr);
    sim.setApplicationHidden(pid, true);
    EXPECT_TRUE(r->checkIfHidden());
    EXPECT_FALSE(unmatched->checkIfHidden());

    EXPECT_EQ(r->getTitle(), "Doc");
    sim.setApplicationHung(pid, true);
    EXPECT_EQ(r->getTitle(), VLElement::kNotResponding);
    EXPECT_EQ(unmatched->getTitle(), std::nullopt); // no pid: no running application to vouch for it
    sim.terminateApplication(pid);
    EXPECT_EQ(r->getTitle(), std::nullopt);
}

TEST_F(ModelTest, GrabWindowNeedsFivePointsAndAWindowNumber) {
    sim::WindowSpec narrow, small;
    narrow.size = Size{4.9, 480};
    small.size = Size{5, 120};
    small.color = QColor(10, 200, 30);
    small.title = "Small";
    auto [pid, wn] = appWithWindow("org.example.a", "Narrow", narrow);
    const uint32_t ws = sim.addWindow(pid, small);

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
