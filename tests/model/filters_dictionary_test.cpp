// The filters dictionary read from the user defaults, hostile values included.
#include <gtest/gtest.h>

#include <limits>

#include "model/filters_dictionary.h"
#include "settings/user_defaults.h"
#include "support/temp_dir.h"

namespace velora {
namespace {

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
    store(PlistValue(PlistValue::Array{PlistValue(1)}));
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
