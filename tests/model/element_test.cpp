// Window records: the matcher (owner, layer, exact bounds, window size and title by filter
// level), the attributes read from their sources, the visibility rules, filter levels and the
// filters dictionary read from the user defaults, hostile values included.
#include <limits>
#include <thread>

#include "model/filter_levels.h"
#include "model/filters_dictionary.h"
#include "model_fixture.h"
#include "platform/ax_names.h"
#include "settings/user_defaults.h"
#include "support/temp_dir.h"

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

TEST_F(ModelTest, ExistenceByLevelAndItsCache) {
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
    const std::pair<int32_t, const char*> table[] = {
        {0, "11110"}, {1, "11100"}, {2, "10100"}, {3, "00000"}, {-1, "11100"}};
    for (const auto& [level, exists] : table) {
        setLevel(kAllApplications, level);
        const uint32_t windows[] = {standard, p, d, ld, g};
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(record(pid, windows[i])->checkIfExists(), exists[i] == '1')
                << "level " << level << ", window " << i;
    }
    // A cached verdict goes when the level changes; an empty title is never a window, and is
    // not cached.
    setLevel(kAllApplications, kFilterLevelMedium);
    VLElementRef r = record(pid, standard);
    EXPECT_TRUE(r->checkIfExists());
    sim.updateWindow(standard, [](sim::WindowSpec& s) {
        s.subrole = ax::SubroleDialog;
        s.childCount = 0;
    });
    setLevel(kAllApplications, kFilterLevelHigh);
    EXPECT_FALSE(r->checkIfExists());
    sim.updateWindow(standard, [](sim::WindowSpec& s) { s.title = ""; });
    setLevel(kAllApplications, kFilterLevelLow);
    EXPECT_FALSE(r->checkIfExists());
    EXPECT_EQ(r->alreadyFiltered(), kFilterLevelHigh);
}

// The no-window marker is refused without asking the application (which may hang).
TEST_F(ModelTest, TheNoWindowMarkerAsksNothing) {
    auto [pid, w] = appWithWindow("org.example.a", "Doc");
    VLElementRef marker = record(pid, w);
    marker->setWid(VLElement::kNoWindow);
    sim.setApplicationHung(pid, true); // any request would be recorded as a time-out
    EXPECT_FALSE(marker->shouldShowWindow(windowList()));
    EXPECT_FALSE(marker->shouldShowWindowDisregardingOptions(windowList()));
    EXPECT_EQ(sim.countCalls("timeout"), 0);
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

TEST(FiltersDictionaryTest, StoredEntriesAreCopiedHostileValuesRefusedAndNoDictionaryGivesTheDefault) {
    test::TempDir dir;
    UserDefaults::resetStandard(dir / "defaults.plist");
    auto store = [](PlistValue value) {
        UserDefaults::standard().setObject(kFiltersDefaultsKey, std::move(value));
    };
    const FilterDictionary defaults{{kAllApplications, 2}};
    EXPECT_EQ(getFiltersDictionary(), defaults);
    store(PlistValue("com.apple.finder"));
    EXPECT_EQ(getFiltersDictionary(), defaults);

    store(PlistValue(PlistValue::Dictionary{
        {"com.apple.finder", PlistValue(1)},
        {"org.example.real", PlistValue(3.9)},
        {"org.example.huge", PlistValue(int64_t(1) << 33)},
        {"org.example.nan", PlistValue(std::numeric_limits<double>::quiet_NaN())},
        {"org.example.text", PlistValue("2")},
        {"org.example.flag", PlistValue(true)},
        {"org.example.nested", PlistValue(PlistValue::Dictionary{{"x", PlistValue(1)}})},
    }));
    const FilterDictionary expected{{"com.apple.finder", 1},
                                    {"org.example.real", 3},
                                    {"org.example.huge", std::numeric_limits<int32_t>::max()}};
    EXPECT_EQ(getFiltersDictionary(), expected);
    // A stored empty dictionary stays empty: the lookup's own defaults then apply.
    store(PlistValue(PlistValue::Dictionary{}));
    EXPECT_TRUE(getFiltersDictionary().empty());
}

} // namespace
} // namespace velora
