#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/plist_value.h"

namespace velora {
namespace {

using Dict = PlistValue::Dictionary;
using Array = PlistValue::Array;

TEST(PlistValueConversion, IntegersReadLikeUserDefaults) {
    EXPECT_EQ(PlistValue(int64_t{42}).toInteger(), 42);
    EXPECT_EQ(PlistValue(true).toInteger(), 1);
    EXPECT_EQ(PlistValue(12.9).toInteger(), 12);
    EXPECT_EQ(PlistValue(-12.9).toInteger(), -12);
    EXPECT_EQ(PlistValue("12").toInteger(), 12);
    EXPECT_EQ(PlistValue("  -7 apples").toInteger(), -7);
    EXPECT_EQ(PlistValue("12.7").toInteger(), 12);
    EXPECT_EQ(PlistValue("apples").toInteger(), 0);
    EXPECT_EQ(PlistValue("0x10").toInteger(), 0);
    EXPECT_EQ(PlistValue(Dict{{"a", 1}}).toInteger(), 0);
    EXPECT_EQ(PlistValue(Array{1, 2}).toInteger(), 0);
    EXPECT_EQ(PlistValue().toInteger(), 0);
    EXPECT_EQ(PlistValue::data("12").toInteger(), 0);
}

TEST(PlistValueConversion, HugeNumbersSaturate) {
    constexpr int64_t max = std::numeric_limits<int64_t>::max();
    constexpr int64_t min = std::numeric_limits<int64_t>::min();
    EXPECT_EQ(PlistValue("99999999999999999999999").toInteger(), max);
    EXPECT_EQ(PlistValue("-99999999999999999999999").toInteger(), min);
    EXPECT_EQ(PlistValue("-9223372036854775808").toInteger(), min);
    EXPECT_EQ(PlistValue(1e30).toInteger(), max);
    EXPECT_EQ(PlistValue(-1e30).toInteger(), min);
    EXPECT_EQ(PlistValue(std::nan("")).toInteger(), 0);
    EXPECT_EQ(PlistValue(HUGE_VAL).toInteger(), max);
}

TEST(PlistValueConversion, RealsAndBooleans) {
    EXPECT_DOUBLE_EQ(PlistValue("0.25").toReal(), 0.25);
    EXPECT_DOUBLE_EQ(PlistValue(" -1.5e2xyz").toReal(), -150.0);
    EXPECT_DOUBLE_EQ(PlistValue(".5").toReal(), 0.5);
    EXPECT_DOUBLE_EQ(PlistValue("nan").toReal(), 0.0);
    EXPECT_EQ(PlistValue("1e999").toReal(), HUGE_VAL);
    EXPECT_DOUBLE_EQ(PlistValue(int64_t{3}).toReal(), 3.0);
    EXPECT_DOUBLE_EQ(PlistValue(Dict{}).toReal(), 0.0);

    for (const char* yes : {"YES", "yes", "true", "T", "1", "007", " +9"}) EXPECT_TRUE(PlistValue(yes).toBool()) << yes;
    for (const char* no : {"NO", "no", "false", "0", "", "0.5", "maybe"}) EXPECT_FALSE(PlistValue(no).toBool()) << no;
    EXPECT_TRUE(PlistValue(int64_t{-3}).toBool());
    EXPECT_FALSE(PlistValue(0.0).toBool());
    EXPECT_FALSE(PlistValue(Dict{{"a", true}}).toBool());
}

TEST(PlistValueConversion, TypedAccessAndMembers) {
    const PlistValue dict(Dict{{"name", "Velora"}, {"list", Array{1, "two"}}});
    EXPECT_EQ(dict.type(), PlistValue::Type::Dictionary);
    EXPECT_EQ(*dict["name"].asString(), "Velora");
    EXPECT_EQ(dict["list"].asArray()->size(), 2u);
    EXPECT_TRUE(dict["absent"].isNone());
    EXPECT_TRUE(dict["name"]["deeper"].isNone());
    EXPECT_EQ(dict.asString(), nullptr);
    EXPECT_EQ(PlistValue("text").asData(), nullptr);
    EXPECT_EQ(*PlistValue::data(std::string("\0\1", 2)).asData(), std::string("\0\1", 2));
    EXPECT_TRUE(PlistValue(static_cast<const char*>(nullptr)).isNone());
}

TEST(PlistValueConversion, EqualityIsByTypeAndContents) {
    EXPECT_EQ(PlistValue(Dict{{"a", Array{1, 2.5, "x"}}}), PlistValue(Dict{{"a", Array{1, 2.5, "x"}}}));
    EXPECT_NE(PlistValue(int64_t{1}), PlistValue(1.0));
    EXPECT_NE(PlistValue(int64_t{1}), PlistValue(true));
    EXPECT_NE(PlistValue("ab"), PlistValue::data("ab"));
    EXPECT_NE(PlistValue(Dict{{"a", 1}}), PlistValue(Dict{{"a", 2}}));
    EXPECT_EQ(PlistValue(), PlistValue());
    EXPECT_NE(PlistValue(), PlistValue(false));
}

} // namespace
} // namespace velora
