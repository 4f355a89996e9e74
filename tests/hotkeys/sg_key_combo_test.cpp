#include <gtest/gtest.h>

#include <limits>

#include "hotkeys/sg_key_combo.h"
#include "platform/input.h"

namespace velora {
namespace {

using Dict = PlistValue::Dictionary;

SGKeyCombo stored(Dict d) { return SGKeyCombo(PlistValue(std::move(d))); }

TEST(SGKeyComboStoredForm, ClearComboRoundTrips) {
    const PlistValue form = SGKeyCombo::clearKeyCombo().plistRepresentation();
    EXPECT_EQ(form, PlistValue(Dict{{"keyCode", -1}, {"modifiers", -1}}));
    const SGKeyCombo back(form);
    EXPECT_TRUE(back.isClearCombo());
    EXPECT_FALSE(back.isValidHotKeyCombo());
}

TEST(SGKeyComboStoredForm, NothingOrEmptyIsClear) {
    EXPECT_TRUE(SGKeyCombo(PlistValue()).isClearCombo());
    EXPECT_TRUE(stored({}).isClearCombo());
    // Stored values of the wrong type read as nothing.
    EXPECT_TRUE(SGKeyCombo(PlistValue("Option-Tab")).isClearCombo());
    EXPECT_TRUE(SGKeyCombo(PlistValue(int64_t{48})).isClearCombo());
    EXPECT_TRUE(SGKeyCombo().isClearCombo());
}

TEST(SGKeyComboStoredForm, OptionTabSurvivesTheSettingsFile) {
    const SGKeyCombo optionTab = SGKeyCombo::keyComboWithKeyCode(48, kOptionKeyModifier);
    const PlistValue form = optionTab.plistRepresentation();
    EXPECT_EQ(form, PlistValue(Dict{{"keyCode", 48}, {"modifiers", 2048}}));
    const auto reread = PlistValue::fromXml(form.toXml());
    ASSERT_TRUE(reread);
    EXPECT_EQ(SGKeyCombo(*reread), optionTab);
}

TEST(SGKeyComboStoredForm, BadEntriesAreMended) {
    EXPECT_EQ(stored({{"keyCode", -7}, {"modifiers", -3}}), SGKeyCombo(-1, -1));
    EXPECT_EQ(stored({{"modifiers", 2048}}), SGKeyCombo(0, 2048));
    EXPECT_EQ(stored({{"keyCode", 48}}), SGKeyCombo(48, 0));
    EXPECT_EQ(stored({{"other", 1}}), SGKeyCombo(0, 0));
    EXPECT_EQ(stored({{"keyCode", "48"}, {"modifiers", " 256"}}), SGKeyCombo(48, 256));
    EXPECT_EQ(stored({{"keyCode", "Tab"}, {"modifiers", Dict{{"a", 1}}}}), SGKeyCombo(0, 0));
    EXPECT_EQ(stored({{"keyCode", "-12"}, {"modifiers", true}}), SGKeyCombo(-1, 1));
    EXPECT_EQ(stored({{"keyCode", 48.9}, {"modifiers", -0.5}}), SGKeyCombo(48, 0));
    constexpr int64_t max = std::numeric_limits<int64_t>::max();
    EXPECT_EQ(stored({{"keyCode", 1e30}, {"modifiers", "99999999999999999999999"}}), SGKeyCombo(max, max));
    EXPECT_EQ(stored({{"keyCode", -1e30}, {"modifiers", std::numeric_limits<int64_t>::min()}}), SGKeyCombo(-1, -1));
}

TEST(SGKeyComboKinds, ClearValidAndNeither) {
    EXPECT_TRUE(SGKeyCombo(0, 0).isValidHotKeyCombo());
    EXPECT_TRUE(SGKeyCombo(48, 0).isValidHotKeyCombo());
    const SGKeyCombo neither(-1, 0);
    EXPECT_FALSE(neither.isClearCombo());
    EXPECT_FALSE(neither.isValidHotKeyCombo());
    EXPECT_EQ(neither.modifierMask(), 0u);
    EXPECT_EQ(neither.description(), "(None)");
    EXPECT_EQ(SGKeyCombo::clearKeyCombo().description(), "(None)");
    EXPECT_EQ(SGKeyCombo(48, -1).description(), "(None)");
    EXPECT_FALSE(SGKeyCombo(5, -1).isClearCombo());
}

TEST(SGKeyComboModifiers, MaskHoldsTheEventFlags) {
    EXPECT_EQ(SGKeyCombo(48, 2560).modifierMask(), 0xA0000u);
    EXPECT_EQ(SGKeyCombo(48, kCommandKeyModifier).modifierMask(), kEventFlagCommand);
    EXPECT_EQ(SGKeyCombo(48, kControlKeyModifier).modifierMask(), kEventFlagControl);
    EXPECT_EQ(SGKeyCombo(48, 0x1B00).modifierMask(), kEventFlagsTrackedMask);
    // Bits without a modifier are carried but give no flag.
    const SGKeyCombo odd(48, 0x0800 | 0x0001 | 0x4000);
    EXPECT_EQ(odd.modifiers(), 0x4801);
    EXPECT_EQ(odd.modifierMask(), kEventFlagOption);
    EXPECT_EQ(SGKeyCombo::clearKeyCombo().modifierMask(), 0u);
    // Not clear, so the all-bits-set -1 counts every modifier.
    EXPECT_EQ(SGKeyCombo(5, -1).modifierMask(), kEventFlagsTrackedMask);
}

TEST(SGKeyComboModifiers, GlyphsInFixedOrder) {
    EXPECT_EQ(SGKeyCombo::stringForModifiers(2560), "\u2325\u21E7");
    EXPECT_EQ(SGKeyCombo::stringForModifiers(kShiftKeyModifier | kCommandKeyModifier), "\u2318\u21E7");
    EXPECT_EQ(SGKeyCombo::stringForModifiers(0x1B00), "\u2318\u2325\u2303\u21E7");
    EXPECT_EQ(SGKeyCombo::stringForModifiers(kControlKeyModifier | kOptionKeyModifier), "\u2325\u2303");
    EXPECT_EQ(SGKeyCombo::stringForModifiers(0x0001), "");
    EXPECT_EQ(SGKeyCombo::stringForModifiers(0), "");
}

} // namespace
} // namespace velora
