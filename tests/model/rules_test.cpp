// Visibility rules, filter levels and the filters dictionary read from the user defaults,
// hostile values included.
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
