// Window records: the matcher (owner, layer, exact bounds, window size and title by filter
// level) and the attributes read from their sources.
#include "model/filter_levels.h"
#include "model_fixture.h"

namespace velora {
namespace {

using test::ModelTest;

TEST_F(ModelTest, MatcherComparesTitlesOnlyAtHighLevelAndNeedsOneAtAll) {
    sim::WindowSpec spec;
    spec.serverName = "Other";
    auto [pid, w] = appWithWindow("org.example.a", "Doc", spec);
    VLElementRef high = record(pid, w);
    EXPECT_FALSE(high->findPIDandWID(windowList()));
    EXPECT_EQ(high->wid(), VLElement::kNoWindow);

    setLevel("org.example.a", kFilterLevelLow);
    VLElementRef low = record(pid, w);
    EXPECT_TRUE(low->findPIDandWID(windowList()));
    EXPECT_EQ(low->wid(), int32_t(w));
    EXPECT_EQ(low->frame(), (Rect{100, 100, 640, 480}));

    // Geometry alone never does: an empty or missing title, or no list, fails at any level.
    sim.updateWindow(w, [](sim::WindowSpec& s) { s.title = ""; });
    EXPECT_FALSE(record(pid, w)->findPIDandWID(windowList()));
    sim::WindowSpec untitled;
    untitled.title = std::nullopt;
    const uint32_t u = sim.addWindow(pid, untitled);
    EXPECT_FALSE(record(pid, u)->findPIDandWID(windowList()));
    EXPECT_FALSE(record(pid, u)->findPIDandWID(nullptr));
}

TEST_F(ModelTest, MatcherSkipsOtherOwnersLayersAndBoundsAndTakesTheFirstInListOrder) {
    setLevel(kAllApplications, kFilterLevelMedium);
    auto [pid, w] = appWithWindow("org.example.a", "Doc");
    appWithWindow("org.example.b", "Doc");
    // Window-server-only windows of the process, the newest (without focus) in front.
    auto serverOnly = [&, p = pid](Rect bounds, int32_t layer = 0) {
        sim::WindowSpec s;
        s.listedInApplication = false;
        s.serverBounds = bounds;
        s.serverName = "Doc";
        s.layer = layer;
        return sim.addWindow(p, s);
    };
    serverOnly(Rect{100, 100, 640, 480}, 3);
    serverOnly(Rect{100, 100, 640, 479});
    const uint32_t twin = serverOnly(Rect{100, 100, 640, 480});
    VLElementRef r = record(pid, w);
    ASSERT_TRUE(r->findPIDandWID(windowList()));
    EXPECT_EQ(r->wid(), int32_t(twin));
}

TEST_F(ModelTest, WindowSizeQualification) {
    auto [pid, w] = appWithWindow("org.example.a", "A");
    EXPECT_TRUE(VLElement::testWindow(w));
    EXPECT_FALSE(VLElement::testWindow(0xFFFFFF)); // unknown window
    for (auto [size, qualifies] :
         {std::pair{Size{49, 49}, false}, {Size{50, 1}, true}, {Size{0, 500}, false}}) {
        sim::WindowSpec spec;
        spec.size = size;
        const uint32_t sized = sim.addWindow(pid, spec);
        EXPECT_EQ(VLElement::testWindow(sized), qualifies) << size.width << "x" << size.height;
        // Geometry and title agree, yet a window of no width never matches.
        EXPECT_FALSE(size.width == 0 && record(pid, sized)->findPIDandWID(windowList()));
    }
}

// A hidden application's window reads as hidden, a hung one's title as not responding, a
// gone one's as nothing.
TEST_F(ModelTest, WindowsOfHiddenHungAndGoneApplications) {
    auto [pid, w] = appWithWindow("org.example.a", "Doc");
    VLElementRef r = matched(pid, w);
    sim.setApplicationHidden(pid, true);
    EXPECT_TRUE(r->checkIfHidden());
    EXPECT_EQ(r->getTitle(), "Doc");
    sim.setApplicationHung(pid, true);
    EXPECT_EQ(r->getTitle(), VLElement::kNotResponding);
    sim.terminateApplication(pid);
    EXPECT_EQ(r->getTitle(), std::nullopt);
}

} // namespace
} // namespace velora
