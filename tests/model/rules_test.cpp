// Visibility rules and filter levels.
#include <thread>

#include "model/filter_levels.h"
#include "platform/ax_names.h"
#include "model/known_applications.h"
#include "model_fixture.h"

namespace velora {
namespace {

using test::ModelTest;

// An application's own entry comes first, then "All applications", then the Finder's default;
// an unmatched record has no bundle yet, so "All applications" applies to it.
TEST_F(ModelTest, FilterLevelLookup) {
    setLevel(kAllApplications, kFilterLevelLow);
    EXPECT_EQ(VLElement::getFilterLevel(kFinderBundle), kFilterLevelTotalFinder);
    setLevel("org.example.a", 7);
    auto [pid, w] = appWithWindow("org.example.a", "A");
    EXPECT_EQ(record(pid, w)->getFilterLevel(), kFilterLevelLow);
    EXPECT_EQ(matched(pid, w)->getFilterLevel(), 7);
}

TEST_F(ModelTest, ExistenceByLevel) {
    sim::WindowSpec palette, dialog, lonelyDialog, group;
    palette.subrole = ax::SubroleFloatingWindow;
    palette.childCount = 3;
    dialog.subrole = ax::SubroleDialog;
    lonelyDialog.subrole = ax::SubroleDialog;
    lonelyDialog.childCount = 0;
    group.role = "AXGroup";
    auto [pid, standard] = appWithWindow("org.example.a", "Doc");
    uint32_t p = sim.addWindow(pid, palette), d = sim.addWindow(pid, dialog);
    uint32_t ld = sim.addWindow(pid, lonelyDialog), g = sim.addWindow(pid, group);

    // Per level, which of: standard, palette, dialog, dialog without children, group.
    const std::pair<int32_t, const char*> table[] = {{0, "11110"}, {1, "11100"}, {2, "10100"}, {3, "00000"},
                                                     {4, "11100"}, {7, "11100"}, {-1, "11100"}};
    for (const auto& [level, exists] : table) {
        setLevel(kAllApplications, level);
        const uint32_t windows[] = {standard, p, d, ld, g};
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(record(pid, windows[i])->checkIfExists(), exists[i] == '1') << "level " << level << ", window " << i;
    }
    // Block all caches nothing.
    setLevel(kAllApplications, kFilterLevelBlockAll);
    VLElementRef blocked = record(pid, standard);
    EXPECT_FALSE(blocked->checkIfExists());
    EXPECT_EQ(blocked->alreadyFiltered(), VLElement::kNotFiltered);
}

TEST_F(ModelTest, ExistenceVerdictIsCachedUntilTheLevelChanges) {
    setLevel(kAllApplications, kFilterLevelMedium);
    auto [pid, w] = appWithWindow("org.example.a", "Doc");
    VLElementRef r = record(pid, w);
    EXPECT_TRUE(r->checkIfExists());
    EXPECT_EQ(r->alreadyFiltered(), kFilterLevelMedium);
    // The window turns into a dialog without children: the cached verdict stands...
    sim.updateWindow(w, [](sim::WindowSpec& s) {
        s.subrole = ax::SubroleDialog;
        s.childCount = 0;
    });
    EXPECT_TRUE(r->checkIfExists());
    // ...until the level changes; 7 acts as Medium and so keeps it too.
    setLevel(kAllApplications, 7);
    EXPECT_TRUE(r->checkIfExists());
    setLevel(kAllApplications, kFilterLevelHigh);
    EXPECT_FALSE(r->checkIfExists());
    EXPECT_EQ(r->alreadyFiltered(), kFilterLevelHigh);
    // An empty title is never a window, and is not cached.
    sim.updateWindow(w, [](sim::WindowSpec& s) { s.title = ""; });
    setLevel(kAllApplications, kFilterLevelLow);
    EXPECT_FALSE(r->checkIfExists());
    EXPECT_EQ(r->alreadyFiltered(), kFilterLevelHigh);
}

TEST_F(ModelTest, HungApplicationKeepsItsVerdict) {
    auto [pid, w] = appWithWindow("org.example.a", "Doc");
    uint32_t unseen = sim.addWindow(pid);
    VLElementRef evaluated = matched(pid, w), neverEvaluated = matched(pid, unseen);
    EXPECT_TRUE(evaluated->checkIfExists());
    sim.setApplicationHung(pid, true);
    EXPECT_TRUE(evaluated->checkIfExists());
    EXPECT_FALSE(neverEvaluated->checkIfExists());
    setLevel(kAllApplications, kFilterLevelLow); // whatever level it was computed at
    EXPECT_TRUE(evaluated->checkIfExists());
    EXPECT_TRUE(evaluated->shouldShowWindow(nullptr));

    // A healthy window that happens to carry that title is judged like any other.
    sim.setApplicationHung(pid, false);
    sim.updateWindow(unseen, [](sim::WindowSpec& s) { s.title = VLElement::kNotResponding; });
    EXPECT_TRUE(neverEvaluated->checkIfExists());
}

TEST_F(ModelTest, NoWindowMarkerIsRejectedWithoutAskingTheApplication) {
    auto [pid, w] = appWithWindow("org.example.a", "Doc");
    VLElementRef r = record(pid, w);
    r->setWid(VLElement::kNoWindow);
    sim.setApplicationHung(pid, true); // any request would be recorded as a time-out
    EXPECT_FALSE(r->shouldShowWindow(windowList()));
    EXPECT_FALSE(r->shouldShowWindowDisregardingOptions(windowList()));
    EXPECT_EQ(sim.countCalls("timeout"), 0);
    // Matching without a list fails for good.
    VLElementRef unlisted = record(pid, w);
    sim.setApplicationHung(pid, false);
    EXPECT_FALSE(unlisted->shouldShowWindow(nullptr));
    EXPECT_EQ(unlisted->wid(), VLElement::kNoWindow);
}

TEST_F(ModelTest, IllustratorIsMatchedAgainAtEveryShowing) {
    sim::WindowSpec spec;
    spec.serverBounds = Rect{100, 122, 640, 458};
    auto [ai, w] = appWithWindow(kIllustratorBundle, "Artwork", spec);
    VLElementRef shown = record(ai, w), counted = record(ai, w);
    EXPECT_TRUE(shown->shouldShowWindow(windowList()));
    EXPECT_TRUE(counted->shouldShowWindowDisregardingOptions(windowList()));
    EXPECT_TRUE(shown->needsMatchingToShow());
    EXPECT_FALSE(shown->needsMatching());

    // Its window-server frame moves away: the next showing fails for good...
    sim.updateWindow(w, [](sim::WindowSpec& s) { s.serverBounds = Rect{0, 0, 640, 480}; });
    EXPECT_TRUE(counted->shouldShowWindowDisregardingOptions(nullptr)); // ...the other rule keeps its match
    EXPECT_FALSE(shown->shouldShowWindow(windowList()));
    EXPECT_EQ(shown->wid(), VLElement::kNoWindow);
    EXPECT_FALSE(shown->needsMatchingToShow());
}

TEST_F(ModelTest, ITunesWindowsOnlyWhileMinimisedHiddenOrOnASpace) {
    sim::WindowSpec nowhere;
    nowhere.space = 0;
    auto [itunes, w] = appWithWindow(kITunesBundle, "Library", nowhere);
    auto [other, ow] = appWithWindow("org.example.a", "Doc", nowhere);
    VLElementRef r = matched(itunes, w);
    EXPECT_TRUE(record(itunes, w)->checkIfWIDIsInWindowList()); // not matched: no bundle, no number
    sim.clearCalls();
    EXPECT_TRUE(matched(other, ow)->shouldShowWindow(nullptr)); // only iTunes asks the spaces
    EXPECT_EQ(sim.countCalls("spaceWindowList"), 0);
    EXPECT_FALSE(r->shouldShowWindow(nullptr));

    for (auto [space, listed] : {std::pair{16, true}, {17, false}}) {
        sim.updateWindow(w, [s = space](sim::WindowSpec& spec) { spec.space = s; });
        EXPECT_EQ(r->checkIfWIDIsInWindowList(), listed) << "space " << space;
    }
    sim.updateWindow(w, [](sim::WindowSpec& s) { s.minimized = true; });
    EXPECT_TRUE(r->checkIfWIDIsInWindowList());
    sim.updateWindow(w, [](sim::WindowSpec& s) { s.minimized = false; });
    sim.setApplicationHidden(itunes, true);
    EXPECT_TRUE(r->checkIfWIDIsInWindowList());
}

TEST_F(ModelTest, ElementAndProcessQueries) {
    sim::WindowSpec palette, dialog;
    palette.subrole = ax::SubroleFloatingWindow;
    dialog.subrole = ax::SubroleSystemDialog;
    auto [a, wa] = appWithWindow("org.example.a", "Palette", palette);
    auto [b, wb] = appWithWindow("org.example.b", "Alert", dialog);
    sim::ApplicationSpec faceless;
    faceless.hasAccessibility = false;
    pid_t c = sim.addApplication(faceless);

    EXPECT_TRUE(VLElement::checkIfWindow(windowElement(a, wa)));
    EXPECT_FALSE(VLElement::checkIfWindow(AXElement{AXElement::Kind::Application, a, uint64_t(a)}));
    EXPECT_FALSE(VLElement::checkIfPidHasOpenWindows(a));
    EXPECT_TRUE(VLElement::checkIfPidHasOpenWindows(b));
    EXPECT_FALSE(VLElement::checkIfPidHasOpenWindows(c));
    sim.setApplicationHung(a, true);
    EXPECT_TRUE(VLElement::checkIfPidHasOpenWindows(a));
    sim.destroyWindow(wb);
    EXPECT_FALSE(VLElement::checkIfWindow(windowElement(b, wb)));
}

TEST_F(ModelTest, RulesReadFiltersWhileThePreferencesEditThem) {
    auto [pid, w] = appWithWindow("org.example.a", "Doc");
    VLElementRef r = matched(pid, w);
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done) {
            int32_t level = r->getFilterLevel();
            EXPECT_TRUE(level == kFilterLevelHigh || level == kFilterLevelLow || level == kFilterLevelMedium);
            r->shouldShowWindow(nullptr);
        }
    });
    for (int i = 0; i < 300; ++i) {
        setLevel("org.example.a", i % 2 ? kFilterLevelLow : kFilterLevelMedium);
        VLSettings::shared().ignoreMinimized = i % 2;
    }
    done = true;
    reader.join();
    EXPECT_TRUE(r->checkIfExists());
}

} // namespace
} // namespace velora
