// Visibility rules and filter levels.
#include <thread>

#include "model/filter_levels.h"
#include "platform/ax_names.h"
#include "model/known_applications.h"
#include "model_fixture.h"

namespace velora {
namespace {

using test::ModelTest;

TEST_F(ModelTest, FilterLevelLookup) {
    EXPECT_EQ(VLElement::getFilterLevel("org.example.a"), kFilterLevelHigh);
    EXPECT_EQ(VLElement::getFilterLevel(""), kFilterLevelHigh);
    EXPECT_EQ(VLElement::getFilterLevel(kFinderBundle), kFilterLevelTotalFinder);

    setLevel(kAllApplications, kFilterLevelLow);
    setLevel("", kFilterLevelBlockAll); // a key nobody's bundle can be
    EXPECT_EQ(VLElement::getFilterLevel("org.example.a"), kFilterLevelLow);
    EXPECT_EQ(VLElement::getFilterLevel(""), kFilterLevelLow);
    EXPECT_EQ(VLElement::getFilterLevel(kFinderBundle), kFilterLevelTotalFinder);

    setLevel(kFinderBundle, kFilterLevelMedium);
    setLevel("org.example.a", 7);
    EXPECT_EQ(VLElement::getFilterLevel(kFinderBundle), kFilterLevelMedium);
    EXPECT_EQ(VLElement::getFilterLevel("org.example.a"), 7); // as stored

    // An unmatched record has no bundle yet: "All applications" applies.
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

    struct Expect { int32_t level; bool standard, palette, dialog, lonelyDialog, group; };
    for (Expect e : {Expect{0, true, true, true, true, false}, Expect{1, true, true, true, false, false},
                     Expect{2, true, false, true, false, false}, Expect{3, false, false, false, false, false},
                     Expect{4, true, true, true, false, false}, Expect{7, true, true, true, false, false},
                     Expect{-1, true, true, true, false, false}}) {
        setLevel(kAllApplications, e.level);
        EXPECT_EQ(record(pid, standard)->checkIfExists(), e.standard) << e.level;
        EXPECT_EQ(record(pid, p)->checkIfExists(), e.palette) << e.level;
        EXPECT_EQ(record(pid, d)->checkIfExists(), e.dialog) << e.level;
        EXPECT_EQ(record(pid, ld)->checkIfExists(), e.lonelyDialog) << e.level;
        EXPECT_EQ(record(pid, g)->checkIfExists(), e.group) << e.level;
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

TEST_F(ModelTest, OptionsApplyOnlyToShouldShowWindow) {
    auto [pid, w] = appWithWindow("org.example.a", "Doc");
    VLElementRef r = matched(pid, w);
    sim.updateWindow(w, [](sim::WindowSpec& s) { s.minimized = true; });
    sim.setApplicationHidden(pid, true);
    EXPECT_TRUE(r->shouldShowWindow(nullptr));
    VLSettings::shared().ignoreMinimized = 1;
    EXPECT_FALSE(r->shouldShowWindow(nullptr));
    EXPECT_TRUE(r->shouldShowWindowDisregardingOptions(nullptr));
    VLSettings::shared().ignoreMinimized = 0;
    VLSettings::shared().ignoreHidden = 1;
    EXPECT_FALSE(r->shouldShowWindow(nullptr));
    sim.setApplicationHidden(pid, false);
    EXPECT_TRUE(r->shouldShowWindow(nullptr));
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
    EXPECT_TRUE(matched(other, ow)->shouldShowWindow(nullptr));
    EXPECT_EQ(sim.countCalls("spaceWindowList"), 0);

    EXPECT_FALSE(r->shouldShowWindow(nullptr));
    EXPECT_EQ(sim.countCalls("spaceWindowList"), 16);
    sim.updateWindow(w, [](sim::WindowSpec& s) { s.space = 16; });
    EXPECT_TRUE(r->checkIfWIDIsInWindowList());
    sim.updateWindow(w, [](sim::WindowSpec& s) { s.space = 17; });
    EXPECT_FALSE(r->checkIfWIDIsInWindowList());
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
