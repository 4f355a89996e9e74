#include <gtest/gtest.h>

#include <set>

#include "fake_keyboard.h"
#include "hotkeys/sg_key_combo.h"

namespace velora {
namespace {

using Dict = PlistValue::Dictionary;
using Array = PlistValue::Array;

class SGKeyNames : public testing::Test {
protected:
    void SetUp() override { desktop.input.setLayout(test::usLayout()); }
    test::FakeDesktop desktop;
};

TEST_F(SGKeyNames, ShippedTableIsNewStyle) {
    const PlistValue& table = SGKeyCombo::keyCodesDictionary();
    EXPECT_EQ(table["version"].toInteger(), 1);
    ASSERT_TRUE(table["unmappedKeys"].asDictionary());
    ASSERT_TRUE(table["padKeys"].asArray());
    ASSERT_TRUE(table["padKeyString"].asString());
    EXPECT_EQ(&table, &SGKeyCombo::keyCodesDictionary());

    std::set<std::string> padKeys;
    for (const PlistValue& k : *table["padKeys"].asArray()) padKeys.insert(*k.asString());
    for (int code : {65, 67, 69, 71, 75, 76, 78, 81, 82, 83, 84, 85, 86, 87, 88, 89, 91, 92})
        EXPECT_TRUE(padKeys.count(std::to_string(code))) << code;
}

TEST_F(SGKeyNames, KeysWithoutCharactersHaveFixedNames) {
    const std::pair<int, const char*> named[] = {
        {48, "Tab"}, {36, "Return"}, {53, "Esc"}, {49, "Space"}, {51, "Backspace"}, {117, "Delete"},
        {123, "Left"}, {124, "Right"}, {125, "Down"}, {126, "Up"}, {115, "Home"}, {119, "End"},
        {116, "Page Up"}, {121, "Page Down"}, {122, "F1"}, {120, "F2"}, {99, "F3"}, {118, "F4"},
        {96, "F5"}, {97, "F6"}, {98, "F7"}, {100, "F8"}, {101, "F9"}, {109, "F10"}, {103, "F11"},
        {111, "F12"}, {105, "F13"}, {107, "F14"}, {113, "F15"}, {106, "F16"}, {64, "F17"},
        {79, "F18"}, {80, "F19"}, {90, "F20"}, {114, "Insert"}, {71, "Num Lock"}, {76, "Keypad Enter"},
        {52, "Enter"}};
    for (const auto& [code, name] : named) EXPECT_EQ(SGKeyCombo::stringForKeyCode(static_cast<int16_t>(code)), name) << code;
}

TEST_F(SGKeyNames, OrdinaryKeysShowTheLayoutCharacterUpperCased) {
    EXPECT_EQ(SGKeyCombo::stringForKeyCode(0), "A");
    EXPECT_EQ(SGKeyCombo::stringForKeyCode(41), ";");
    EXPECT_EQ(SGKeyCombo::stringForKeyCode(10), "\u00A7");
    EXPECT_EQ(SGKeyCombo::stringForKeyCode(12), "SS"); // ß upper-cases to two letters
    EXPECT_EQ(SGKeyCombo::stringForKeyCode(83), "Keypad 1");
    EXPECT_EQ(SGKeyCombo::stringForKeyCode(67), "Keypad *");
    EXPECT_EQ(SGKeyCombo::stringForKeyCode(99 + 1000), ""); // no character on this layout

    desktop.input.setLayout(std::make_shared<test::FakeLayout>("fr", std::map<uint16_t, std::u16string>{{0, u"q"}}));
    EXPECT_EQ(SGKeyCombo::stringForKeyCode(0), "Q");
}

TEST_F(SGKeyNames, DescriptionsJoinGlyphsAndName) {
    EXPECT_EQ(SGKeyCombo(48, kOptionKeyModifier).description(), "\u2325Tab");
    EXPECT_EQ(SGKeyCombo(48, 2560).description(), "\u2325\u21E7Tab");
    EXPECT_EQ(SGKeyCombo(11, kCommandKeyModifier | kShiftKeyModifier).description(), "\u2318\u21E7B");
    EXPECT_EQ(SGKeyCombo(122, 0).description(), "F1");
    EXPECT_EQ(SGKeyCombo(48, 0).keyCodeString(), "Tab");
    EXPECT_EQ(SGKeyCombo::clearKeyCombo().keyCodeString(), "");
    // The key code is taken as a signed 16-bit code.
    EXPECT_EQ(SGKeyCombo(48 + 65536, 0).keyCodeString(), "Tab");
}

TEST_F(SGKeyNames, LegacyTableNamesOrHex) {
    const PlistValue legacy(Dict{{"48", "Tab"}, {"36", "Return"}, {"1", int64_t{5}}});
    EXPECT_EQ(SGKeyCombo::stringForKeyCodeInLegacyMap(48, legacy), "Tab");
    EXPECT_EQ(SGKeyCombo::stringForKeyCodeInLegacyMap(122, legacy), "7A");
    EXPECT_EQ(SGKeyCombo::stringForKeyCodeInLegacyMap(1, legacy), "1");
    EXPECT_EQ(SGKeyCombo::stringForKeyCodeInLegacyMap(0, legacy), "0");
    EXPECT_EQ(SGKeyCombo::stringForKeyCodeInLegacyMap(-1, legacy), "FFFFFFFF");
    EXPECT_EQ(SGKeyCombo::stringForKeyCodeInLegacyMap(48, PlistValue()), "30");
}

TEST_F(SGKeyNames, NewTableLookups) {
    const PlistValue table(Dict{{"version", 1},
                                {"unmappedKeys", Dict{{"48", "\u21E5"}, {"83", "fixed"}}},
                                {"padKeys", Array{"83", "84", "0"}},
                                {"padKeyString", "Num"}});
    EXPECT_EQ(SGKeyCombo::stringForKeyCodeInNewMap(48, table), "\u21E5");
    // A fixed name stands alone, even for a keypad key.
    EXPECT_EQ(SGKeyCombo::stringForKeyCodeInNewMap(83, table), "fixed");
    EXPECT_EQ(SGKeyCombo::stringForKeyCodeInNewMap(84, table), "Num 2");
    EXPECT_EQ(SGKeyCombo::stringForKeyCodeInNewMap(0, table), "Num A");
    EXPECT_EQ(SGKeyCombo::stringForKeyCodeInNewMap(1, table), "S");
    // Without a prefix the separating space stays.
    const PlistValue bare(Dict{{"version", 2}, {"padKeys", Array{"84"}}});
    EXPECT_EQ(SGKeyCombo::stringForKeyCodeInNewMap(84, bare), " 2");
}

TEST(SGKeyNamesWithoutLayout, NamesStillComeFromTheTable) {
    // No desktop installed: fixed names work, layout characters are empty.
    EXPECT_EQ(SGKeyCombo::stringForKeyCode(48), "Tab");
    EXPECT_EQ(SGKeyCombo::stringForKeyCode(0), "");
    EXPECT_EQ(SGKeyCombo(0, kCommandKeyModifier).description(), "\u2318");
    test::FakeDesktop desktop; // a desktop whose layout is unknown
    EXPECT_EQ(SGKeyCombo::stringForKeyCode(0), "");
}

} // namespace
} // namespace velora
