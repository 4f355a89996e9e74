// Key combinations: the stored form read back from hostile settings, modifier flags and glyphs.
#include <gtest/gtest.h>

#include <limits>

#include "hotkeys/sg_key_combo.h"
#include "platform/input.h"

namespace velora {
namespace {

using Dict = PlistValue::Dictionary;

TEST(SGKeyComboStoredForm, MissingWronglyTypedAndOutOfRangeEntriesAreMended) {
    constexpr int64_t max = std::numeric_limits<int64_t>::max();
    const struct {
        PlistValue stored;
        SGKeyCombo read;
    } cases[] = {
        {Dict{{"keyCode", 48}, {"modifiers", 2048}}, SGKeyCombo(48, 2048)}, // as the preferences store it
        {Dict{{"keyCode", -1}, {"modifiers", -1}}, SGKeyCombo::clearKeyCombo()},
        {PlistValue(), SGKeyCombo::clearKeyCombo()},
        {PlistValue(Dict{}), SGKeyCombo::clearKeyCombo()},
        {PlistValue("Option-Tab"), SGKeyCombo::clearKeyCombo()},
        {PlistValue(int64_t{48}), SGKeyCombo::clearKeyCombo()},
        {Dict{{"keyCode", -7}, {"modifiers", -3}}, SGKeyCombo(-1, -1)},
        {Dict{{"modifiers", 2048}}, SGKeyCombo(0, 2048)},
        {Dict{{"other", 1}}, SGKeyCombo(0, 0)},
        {Dict{{"keyCode", "48"}, {"modifiers", " 256"}}, SGKeyCombo(48, 256)},
        {Dict{{"keyCode", "Tab"}, {"modifiers", Dict{{"a", 1}}}}, SGKeyCombo(0, 0)},
        {Dict{{"keyCode", "-12"}, {"modifiers", true}}, SGKeyCombo(-1, 1)},
        {Dict{{"keyCode", 48.9}, {"modifiers", -0.5}}, SGKeyCombo(48, 0)},
        {Dict{{"keyCode", 1e30}, {"modifiers", "99999999999999999999999"}}, SGKeyCombo(max, max)},
        {Dict{{"keyCode", -1e30}, {"modifiers", std::numeric_limits<int64_t>::min()}}, SGKeyCombo(-1, -1)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SGKeyCombo(c.stored), c.read) << c.stored.toXml();
}

TEST(SGKeyComboModifiers, MaskHoldsTheEventFlagsAndGlyphsComeInFixedOrder) {
    EXPECT_EQ(SGKeyCombo(48, 0x1B00).modifierMask(), kEventFlagsTrackedMask);
    // Bits without a modifier are carried but give no flag.
    const SGKeyCombo odd(48, 0x0800 | 0x0001 | 0x4000);
    EXPECT_EQ(odd.modifiers(), 0x4801);
    EXPECT_EQ(odd.modifierMask(), kEventFlagOption);
    // The clear combination has none; any other -1 counts every modifier.
    EXPECT_EQ(SGKeyCombo::clearKeyCombo().modifierMask(), 0u);
    EXPECT_EQ(SGKeyCombo(-1, 0).modifierMask(), 0u);
    EXPECT_EQ(SGKeyCombo(5, -1).modifierMask(), kEventFlagsTrackedMask);

    EXPECT_EQ(SGKeyCombo::stringForModifiers(0x1B00), "\u2318\u2325\u2303\u21E7");
    EXPECT_EQ(SGKeyCombo::stringForModifiers(0x0001), "");
}

} // namespace
} // namespace velora
