// The window matcher: owner, layer, exact bounds, window size and title by filter level,
// with the Finder's and Illustrator's own rectangles.
#include "model/filter_levels.h"
#include "model/known_applications.h"
#include "model_fixture.h"

namespace velora {
namespace {

using test::ModelTest;

// A window-server-only window of the process (no accessibility element of its own).
sim::WindowSpec serverOnly(Rect bounds, std::string name = "Doc", int32_t space = 1) {
    sim::WindowSpec s;
    s.listedInApplication = false;
    s.serverBounds = bounds;
    s.serverName = std::move(name);
    s.space = space;
    return s;
}

TEST_F(ModelTest, MatcherComparesTitlesOnlyAtHighLevelAndNeedsOneAtAll) {
    sim::WindowSpec spec;
    spec.serverName = "Other";
    auto [pid, w] = appWithWindow("org.example.a", "Doc", spec);
    VLElementRef high = record(pid, w);
    EXPECT_FALSE(high->findPIDandWID(windowList()));
    EXPECT_EQ(high->wid(), VLElement::kNoWindow);
    EXPECT_EQ(high->bundle(), "org.example.a"); // what was read before the failure stays

    for (int32_t level : {kFilterLevelLow, kFilterLevelMedium, kFilterLevelBlockAll, kFilterLevelTotalFinder, 7, -1}) {
        setLevel("org.example.a", level);
        VLElementRef r = record(pid, w);
        EXPECT_TRUE(r->findPIDandWID(windowList())) << "level " << level;
        EXPECT_EQ(r->wid(), int32_t(w));
        EXPECT_EQ(r->frame(), (Rect{100, 100, 640, 480}));
    }

    // Geometry alone never does: an empty or missing title, or no list, fails at any level.
    setLevel("org.example.a", kFilterLevelLow);
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
    sim::WindowSpec floating = serverOnly(Rect{100, 100, 640, 480});
    floating.layer = 3;
    sim.addWindow(pid, floating);
    sim.addWindow(pid, serverOnly(Rect{100, 100, 640, 479}));
    // The list is front to back; the newest window without focus is in front.
    const uint32_t twin = sim.addWindow(pid, serverOnly(Rect{100, 100, 640, 480}));
    VLElementRef r = record(pid, w);
    ASSERT_TRUE(r->findPIDandWID(windowList()));
    EXPECT_EQ(r->wid(), int32_t(twin));
}

TEST_F(ModelTest, WindowSizeQualification) {
    auto [pid, w] = appWithWindow("org.example.a", "A");
    EXPECT_TRUE(VLElement::testWindow(w));
    EXPECT_FALSE(VLElement::testWindow(0xFFFFFF)); // unknown window
    for (auto [size, qualifies] : {std::pair{Size{49, 49}, false}, {Size{50, 1}, true}, {Size{60, 10}, true}, {Size{0, 500}, false}}) {
        sim::WindowSpec spec;
        spec.size = size;
        const uint32_t sized = sim.addWindow(pid, spec);
        EXPECT_EQ(VLElement::testWindow(sized), qualifies) << size.width << "x" << size.height;
        // Geometry and title agree, yet a window of no width never matches.
        EXPECT_FALSE(size.width == 0 && record(pid, sized)->findPIDandWID(windowList()));
    }
}

TEST_F(ModelTest, FinderAtTotalFinderMatchesTheLowerRectangleWithItsTitle) {
    const Rect moved{100, 128, 640, 452};
    sim::WindowSpec lower;
    lower.serverBounds = moved;
    auto [finder, w] = appWithWindow(kFinderBundle, "Home", lower);
    sim::WindowSpec desktop;
    desktop.title = "Desktop";
    const uint32_t exact = sim.addWindow(finder, desktop);

    for (uint32_t window : {w, exact}) {
        VLElementRef r = record(finder, window);
        ASSERT_TRUE(r->findPIDandWID(windowList()));
        EXPECT_EQ(r->frame(), moved); // the moved rectangle is stored either way
    }
    sim.updateWindow(w, [](sim::WindowSpec& s) { s.serverName = "Finder"; });
    EXPECT_FALSE(record(finder, w)->findPIDandWID(windowList()));

    // At its own entry's level 2 the Finder needs exact bounds.
    setLevel(kFinderBundle, kFilterLevelHigh);
    sim.updateWindow(w, [](sim::WindowSpec& s) { s.serverName = "Home"; });
    EXPECT_FALSE(record(finder, w)->findPIDandWID(windowList()));
    EXPECT_TRUE(record(finder, exact)->findPIDandWID(windowList()));
}

TEST_F(ModelTest, IllustratorPrefersAnOnScreenMatchOfEitherOffset) {
    sim::WindowSpec main; // its window-server windows follow
    main.inWindowServer = false;
    auto [ai, w] = appWithWindow(kIllustratorBundle, "Artwork", main);
    const Rect by22{100, 122, 640, 458}, by42{100, 142, 640, 438};
    // Front to back: off-screen +22, then on-screen +42, then on-screen +22; names differ.
    const uint32_t onscreen22 = sim.addWindow(ai, serverOnly(by22, "x"));
    const uint32_t onscreen42 = sim.addWindow(ai, serverOnly(by42, "y"));
    sim.addWindow(ai, serverOnly(by22, "z", 2));

    VLElementRef r = record(ai, w);
    ASSERT_TRUE(r->findPIDandWID(windowList()));
    EXPECT_EQ(r->wid(), int32_t(onscreen42));
    EXPECT_EQ(r->frame(), by22);

    // Only off-screen matches: the last one in list order stands.
    sim.destroyWindow(onscreen42);
    sim.updateWindow(onscreen22, [](sim::WindowSpec& s) { s.space = 2; });
    ASSERT_TRUE(r->findPIDandWID(windowList()));
    EXPECT_EQ(r->wid(), int32_t(onscreen22));
}

} // namespace
} // namespace velora
