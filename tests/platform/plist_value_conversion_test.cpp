#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/plist_value.h"

namespace velora {
namespace {

using Dict = PlistValue::Dictionary;
using Array = PlistValue::Array;
constexpr int64_t kMax = std::numeric_limits<int64_t>::max(), kMin = std::numeric_limits<int64_t>::min();

// Strings read by their leading number, as hand-edited settings do; what holds no number is 0,
// and what does not fit saturates instead of wrapping.
TEST(PlistValueConversion, NumbersReadLikeUserDefaults) {
    const struct {
        PlistValue value;
        int64_t integer;
        double real;
    } cases[] = {
        {PlistValue(true), 1, 1.0},          {PlistValue(-12.9), -12, -12.9},
        {PlistValue("  -7 apples"), -7, -7}, {PlistValue("12.7"), 12, 12.7},
        {PlistValue(".5"), 0, 0.5},          {PlistValue(" -1.5e2xyz"), -1, -150.0},
        {PlistValue("0x10"), 0, 0.0},        {PlistValue("nan"), 0, 0.0},
        {PlistValue(Dict{{"a", 1}}), 0, 0},  {PlistValue(Array{1, 2}), 0, 0},
        {PlistValue(), 0, 0},                {PlistValue::data("12"), 0, 0},
        {PlistValue("99999999999999999999999"), kMax, 1e23},
        {PlistValue("-9223372036854775808"), kMin, -9223372036854775808.0},
        {PlistValue(1e30), kMax, 1e30},      {PlistValue(-1e30), kMin, -1e30},
        {PlistValue(HUGE_VAL), kMax, HUGE_VAL}, {PlistValue("1e999"), 1, HUGE_VAL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.toXml());
        EXPECT_EQ(c.value.toInteger(), c.integer);
        EXPECT_DOUBLE_EQ(c.value.toReal(), c.real);
    }
    EXPECT_EQ(PlistValue(std::nan("")).toInteger(), 0);

    for (const char* yes : {"YES", "yes", "true", "T", "1", "007", " +9"}) EXPECT_TRUE(PlistValue(yes).toBool()) << yes;
    for (const char* no : {"NO", "false", "0", "", "0.5", "maybe"}) EXPECT_FALSE(PlistValue(no).toBool()) << no;
    EXPECT_FALSE(PlistValue(Dict{{"a", true}}).toBool());
}

// Equality is strict about the type: 1, 1.0 and true are three different settings values.
TEST(PlistValueConversion, EqualityIsByTypeAndContents) {
    EXPECT_EQ(PlistValue(Dict{{"list", Array{1, "two"}}}), PlistValue(Dict{{"list", Array{1, "two"}}}));
    EXPECT_NE(PlistValue(int64_t{1}), PlistValue(1.0));
    EXPECT_NE(PlistValue(int64_t{1}), PlistValue(true));
    EXPECT_NE(PlistValue("ab"), PlistValue::data("ab"));
    EXPECT_NE(PlistValue(), PlistValue(false));
    EXPECT_TRUE(PlistValue(Dict{{"name", "Velora"}})["name"]["deeper"].isNone());
}

} // namespace
} // namespace velora
