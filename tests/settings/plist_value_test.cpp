#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "settings/plist_value.h"

namespace velora {
namespace {

using Dict = PlistValue::Dictionary;
using Array = PlistValue::Array;

const std::string kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                          "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n";

std::string doc(const std::string& body) {
    return kHead + body + "\n</plist>\n";
}

PlistValue parse(const std::string& text) {
    std::string error;
    auto v = PlistValue::fromXml(text, &error);
    EXPECT_TRUE(v.has_value()) << error << "\n" << text;
    return v.value_or(PlistValue());
}

std::string refusal(const std::string& text) {
    std::string error;
    EXPECT_FALSE(PlistValue::fromXml(text, &error).has_value()) << text;
    EXPECT_FALSE(error.empty());
    return error;
}

PlistValue roundTrip(const PlistValue& v) {
    return parse(v.toXml());
}

TEST(PlistXml, RoundTripsEveryTypeAndAnyText) {
    const PlistValue value(Dict{
        {"bool", true},
        {"min", std::numeric_limits<int64_t>::min()},
        {"tiny", 5e-324},
        {"inf", -HUGE_VAL},
        {"string", "a & b < c > \"q\" ]]> \t\r\n\r \x7f \xF0\x9F\x98\x80"},
        {"data", PlistValue::data(std::string("\0\1\2\xFF hello", 10))},
        {"array", Array{1, "two", Array{}, Dict{}}},
        {"nested", Dict{{"k e y <&>", Dict{{"", "empty key"}}}}},
    });
    EXPECT_EQ(roundTrip(value), value);
    EXPECT_TRUE(std::isnan(roundTrip(PlistValue(std::nan(""))).toReal()));

    // Text no XML can hold is repaired; nothing, which has no form, is left out of containers.
    EXPECT_EQ(roundTrip(PlistValue(Dict{{std::string("k\xFF", 2), std::string("a\0b\xC3\x01", 5)}})),
              PlistValue(Dict{{"k\xEF\xBF\xBD", "a\xEF\xBF\xBD"
                                                "b\xEF\xBF\xBD\xEF\xBF\xBD"}}));
    // U+FFFE and U+FFFF (kept by the UTF-8 repair, found in window class names) have no XML
    // form either: written as they are, the next start could not read the file.
    EXPECT_EQ(roundTrip(PlistValue(Dict{{"class\xEF\xBF\xBF", "x\xEF\xBF\xBE"}})),
              PlistValue(Dict{{"class\xEF\xBF\xBD", "x\xEF\xBF\xBD"}}));
    EXPECT_EQ(roundTrip(PlistValue(Dict{{"a", Array{1, PlistValue(), 2}}, {"b", PlistValue()}})),
              PlistValue(Dict{{"a", Array{1, 2}}}));
}

TEST(PlistXml, ReadsWhatOtherWritersProduce) {
    const std::pair<std::string, PlistValue> cases[] = {
        {"\xEF\xBB\xBF" + doc("<!-- n --><dict><!-- a --><key>k</key><integer> 0x1F </integer></dict>"),
         PlistValue(Dict{{"k", int64_t{31}}})},
        {doc("<string>&#65;&#x2318;&amp;<![CDATA[<raw>&amp;]]></string>"),
         PlistValue("A\xE2\x8C\x98&<raw>&amp;")},
        // Control characters stored raw by older writers read as U+FFFD; the declared encoding
        // does not matter, the text is UTF-8.
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><string>\x01\xC3\xA9</string>",
         PlistValue("\xEF\xBF\xBD\xC3\xA9")},
    };
    for (const auto& [xml, value] : cases)
        EXPECT_EQ(parse(xml), value) << xml;
}

TEST(PlistXml, RefusesTruncatedAndDamagedText) {
    const std::string full =
        PlistValue(Dict{{"KeyCycleAppForward", Dict{{"keyCode", 48}, {"modifiers", 2048}}},
                        {"list", Array{"a", 1.5, true}}})
            .toXml();
    for (size_t cut = 0; cut < full.rfind("</plist>") + 8; ++cut)
        refusal(full.substr(0, cut));

    const std::string damaged[] = {doc("<dict><key>a</key></dict>"),
                                   doc("<true/><false/>"),
                                   doc("<integer>12abc</integer>"),
                                   doc("<integer>9223372036854775808</integer>"),
                                   doc("<date>2024-02-30T00:00:00Z</date>"),
                                   doc("<data>QQ==QQ</data>"),
                                   doc("<string>&#0;</string>"),
                                   doc("<string>&#xD800;</string>"),
                                   doc("<string>\xFF\xFE</string>"),
                                   doc(std::string("<string>a\0b</string>", 21)),
                                   kHead + "<true/></plist>trailing",
                                   "<!-- never closed <plist/>"};
    for (const std::string& bad : damaged)
        refusal(bad);
    // The reason names the line, so that a hand-edited file can be mended.
    EXPECT_NE(refusal(doc("<dict>\n<key>a</key>\n<integer>nope</integer>\n</dict>")).find("line 6:"),
              std::string::npos);
}

// Nesting is bounded on reading and writing: a hostile file must not exhaust the stack.
TEST(PlistXml, DeepNestingIsRefusedNotFollowed) {
    const auto nested = [](int depth) {
        std::string s;
        for (int i = 0; i < depth; ++i)
            s += "<array>";
        for (int i = 0; i < depth; ++i)
            s += "</array>";
        return doc(s);
    };
    EXPECT_TRUE(PlistValue::fromXml(nested(PlistValue::kMaxDepth)).has_value());
    refusal(nested(PlistValue::kMaxDepth + 1));
    refusal(nested(200000));

    PlistValue deep = PlistValue(Array{});
    for (int i = 1; i < PlistValue::kMaxDepth; ++i)
        deep = PlistValue(Array{deep});
    EXPECT_EQ(roundTrip(deep), deep);
    EXPECT_EQ(PlistValue(Array{deep}).toXml(), "");
}

// Strings read by their leading number, as hand-edited settings do; what holds no number is 0,
// and what does not fit saturates instead of wrapping. Equality is strict about the type: 1,
// 1.0 and true are three different settings values.
TEST(PlistValue, NumbersReadLikeUserDefaultsAndEqualityIsByType) {
    const struct {
        PlistValue value;
        int64_t integer;
        double real;
    } cases[] = {
        {PlistValue(" -1.5e2xyz"), -1, -150.0},
        {PlistValue("nan"), 0, 0.0},
        {PlistValue("-99999999999999999999999"), std::numeric_limits<int64_t>::min(), -1e23},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.toXml());
        EXPECT_EQ(c.value.toInteger(), c.integer);
        EXPECT_DOUBLE_EQ(c.value.toReal(), c.real);
    }
    EXPECT_EQ(PlistValue(std::nan("")).toInteger(), 0);
    EXPECT_TRUE(PlistValue("true").toBool());
    EXPECT_TRUE(PlistValue(" +9").toBool());
    EXPECT_FALSE(PlistValue("0.5").toBool());
    EXPECT_NE(PlistValue(int64_t{1}), PlistValue(1.0));
    EXPECT_NE(PlistValue(int64_t{1}), PlistValue(true));
    EXPECT_NE(PlistValue("ab"), PlistValue::data("ab"));
}

} // namespace
} // namespace velora
