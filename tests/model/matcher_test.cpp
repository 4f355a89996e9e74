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

TEST_F(ModelTest, MatcherComparesTitlesOnlyAtHighLevel) {
    sim::WindowSpec spec;
    spec.serverName = "Other";
    auto [pid, w] = appWithWindow("org.example.a", "Doc", spec);
    VLElementRef high = record(pid, w);
    EXPECT_FALSE(high->findPIDandWID(windowList()));
    EXPECT_EQ(high->wid(), VLElement::kNoWindow);
    // What was read before the failure stays.
    EXPECT_EQ(high->pid(), pid);
    EXPECT_EQ(high->bundle(), "org.example.a");
    ASSERT_NE(high->eApp(), nullptr);

    for (int32_t level : {kFilterLevelLow, kFilterLevelMedium, kFilterLevelBlockAll, kFilterLevelTotalFinder, 7, -1}) {
        setLevel("org.example.a", level);
        VLElementRef r = record(pid, w);
        EXPECT_TRUE(r->findPIDandWID(windowList())) << "level " << level;
        EXPECT_EQ(r->wid(), int32_t(w));
        EXPECT_EQ(r->frame(), (Rect{100, 100, 640, 480}));
    }
    setLevel("org.example.a", kFilterLevelHigh);
    sim.updateWindow(w, [](sim::WindowSpec& s) { s.serverName = "Doc"; });
    EXPECT_TRUE(record(pid, w)->findPIDandWID(windowList()));
}

TEST_F(ModelTest, MatcherNeedsATitleEvenWhenGeometryMatches) {
    setLevel(kAllApplications, kFilterLevelLow);
    auto [pid, w] = appWithWindow("org.example.a", "");
    sim::WindowSpec untitled;
    untitled.title = std::nullopt;
    uint32_t u = sim.addWindow(pid, untitled);
    EXPECT_FALSE(record(pid, w)->findPIDandWID(windowList()));
    VLElementRef r = record(pid, u);
    EXPECT_FALSE(r->findPIDandWID(windowList()));
    EXPECT_EQ(r->wid(), VLElement::kNoWindow);
    EXPECT_FALSE(record(pid, u)->findPIDandWID(nullptr));
}

TEST_F(ModelTest, MatcherSkipsOtherOwnersLayersAndBoundsAndTakesTheFirstInListOrder) {
    setLevel(kAllApplications, kFilterLevelMedium);
    auto [pid, w] = appWithWindow("org.example.a", "Doc");
    auto [otherPid, otherW] = appWithWindow("org.example.b", "Doc");
    (void)otherW;
    sim::WindowSpec floating = serverOnly(Rect{100, 100, 640, 480});
    floating.layer = 3;
    sim.addWindow(pid, floating);
    sim.addWindow(pid, serverOnly(Rect{100, 100, 640, 479}));
    // The list is front to back; the newest window without focus is in front.
    uint32_t twin = sim.addWindow(pid, serverOnly(Rect{100, 100, 640, 480}));
    VLElementRef r = record(pid, w);
    ASSERT_TRUE(r->findPIDandWID(windowList()));
    EXPECT_EQ(r->wid(), int32_t(twin));
    EXPECT_NE(otherPid, pid);
}

TEST_F(ModelTest, WindowSizeQualification) {
    auto [pid, w] = appWithWindow("org.example.a", "A");
    auto sized = [&](Size s) {
        sim::WindowSpec spec;
        spec.size = s;
        return sim.addWindow(pid, spec);
    };
    EXPECT_FALSE(VLElement::testWindow(sized({49, 49})));
    EXPECT_TRUE(VLElement::testWindow(sized({50, 1})));
    EXPECT_TRUE(VLElement::testWindow(sized({60, 10})));
    uint32_t thin = sized({0, 500});
    EXPECT_FALSE(VLElement::testWindow(thin));
    EXPECT_FALSE(VLElement::testWindow(0xFFFFFF)); // unknown window
    EXPECT_TRUE(VLElement::testWindow(w));
    // Geometry and title agree, yet a window of no width never matches.
    EXPECT_FALSE(record(pid, thin)->findPIDandWID(windowList()));
}

TEST_F(ModelTest, FinderAtTotalFinderMatchesTheLowerRectangleWithItsTitle) {
    sim::WindowSpec lower;
    lower.serverBounds = Rect{100, 128, 640, 452};
    auto [finder, w] = appWithWindow(kFinderBundle, "Home", lower);
    sim::WindowSpec desktop;
    desktop.title = "Desktop";
    uint32_t exact = sim.addWindow(finder, desktop);
    const Rect moved{100, 128, 640, 452};

    VLElementRef r = record(finder, w);
    ASSERT_TRUE(r->findPIDandWID(windowList()));
    EXPECT_EQ(r->frame(), moved);
    VLElementRef e = record(finder, exact);
    ASSERT_TRUE(e->findPIDandWID(windowList()));
    EXPECT_EQ(e->frame(), moved); // the moved rectangle is stored either way

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
    uint32_t onscreen22 = sim.addWindow(ai, serverOnly(by22, "x"));
    uint32_t onscreen42 = sim.addWindow(ai, serverOnly(by42, "y"));
    uint32_t offscreen22 = sim.addWindow(ai, serverOnly(by22, "z", 2));

    VLElementRef r = record(ai, w);
    ASSERT_TRUE(r->findPIDandWID(windowList()));
    EXPECT_EQ(r->wid(), int32_t(onscreen42));
    EXPECT_EQ(r->frame(), by22);

    // Only off-screen matches: the last one in list order stands.
    sim.destroyWindow(onscreen42);
    sim.updateWindow(onscreen22, [](sim::WindowSpec& s) { s.space = 2; });
    ASSERT_TRUE(r->findPIDandWID(windowList()));
    EXPECT_EQ(r->wid(), int32_t(onscreen22));
    EXPECT_NE(offscreen22, onscreen22);
}

} // namespace
} // namespace velora
