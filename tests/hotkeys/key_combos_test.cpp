// Key combinations and their names: the stored form read back from hostile settings, the
// layout translator (its cache per layout, dead keys, threads) and the shipped key-code table.
#include <limits>
#include <thread>
#include <vector>

#include "fake_keyboard.h"
#include "hotkeys/sg_key_code_translator.h"
#include "hotkeys/sg_key_combo.h"
#include "support/sim_fixture.h"

namespace velora {
namespace {

TEST(SGKeyCodeTranslator, TranslatesTheFirstCharacter) {
    SGKeyCodeTranslator translator(test::usLayout());
    EXPECT_EQ(translator.translateKeyCode(119), "");
    EXPECT_EQ(translator.translateKeyCode(65536 + 11), "b");  // low 16 bits
    EXPECT_EQ(translator.translateKeyCode(13), "\U0001F600"); // beyond 16 bits: whole
    SGKeyCodeTranslator broken(std::make_shared<test::FakeLayout>(
        "broken", std::map<uint16_t, std::u16string>{{1, u"\xD83D"}, {2, u"xy"}}));
    EXPECT_EQ(broken.translateKeyCode(1), "\uFFFD");
    EXPECT_EQ(broken.translateKeyCode(2), "x");
}

using KeyNames = test::SimTest;

TEST_F(KeyNames, TheTranslatorIsCachedUntilTheLayoutChangesAndCarriesTheDeadKeyState) {
    sim.setKeyboardLayout(nullptr);
    EXPECT_FALSE(SGKeyCodeTranslator::currentTranslator());
    sim.setKeyboardLayout(test::usLayout("first"));
    const auto first = SGKeyCodeTranslator::currentTranslator();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->translateKeyCode(50), ""); // a dead key
    EXPECT_EQ(SGKeyCodeTranslator::currentTranslator()->translateKeyCode(0), "\u00E0");

    // The same layout handed out anew keeps the translator but serves the new object.
    const auto sameAgain =
        std::make_shared<test::FakeLayout>("first", std::map<uint16_t, std::u16string>{{0, u"z"}});
    sim.setKeyboardLayout(sameAgain);
    EXPECT_EQ(SGKeyCodeTranslator::currentTranslator(), first);
    EXPECT_EQ(first->translateKeyCode(0), "z");

    sim.setKeyboardLayout(test::usLayout("second"));
    const auto second = SGKeyCodeTranslator::currentTranslator();
    EXPECT_NE(second, first);
    EXPECT_EQ(second->keyboardLayout()->identifier(), "second");
}

TEST_F(KeyNames, NamesFromManyThreadsWhileTheLayoutChanges) {
    sim.setKeyboardLayout(test::usLayout("a"));
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 300; ++i) {
                const std::string name = SGKeyCombo(0, kCommandKeyModifier).description();
                EXPECT_TRUE(name == "\u2318A" || name == "\u2318Q") << name;
            }
        });
    }
    for (int i = 0; i < 300; ++i)
        sim.setKeyboardLayout(
            i % 2 ? test::usLayout("a")
                  : std::make_shared<test::FakeLayout>("b", std::map<uint16_t, std::u16string>{{0, u"q"}}));
    for (auto& t : threads)
        t.join();
}

TEST_F(KeyNames, FixedNamesFromTheShippedTableOthersFromTheLayoutUpperCased) {
    // A layout that is unknown: fixed names work, characters are empty.
    sim.setKeyboardLayout(nullptr);
    EXPECT_EQ(SGKeyCombo::stringForKeyCode(48), "Tab");
    EXPECT_EQ(SGKeyCombo(0, kCommandKeyModifier).description(), "\u2318");

    sim.setKeyboardLayout(test::usLayout());
    const std::pair<int, const char*> names[] = {
        {48, "Tab"},      {117, "Delete"},  {90, "F20"},    {76, "Keypad Enter"},
        {0, "A"},         {41, ";"},        {10, "\u00A7"}, {12, "SS"}, // ß upper-cases to two letters
        {83, "Keypad 1"}, {67, "Keypad *"}, {1099, ""}};
    for (const auto& [code, name] : names)
        EXPECT_EQ(SGKeyCombo::stringForKeyCode(static_cast<int16_t>(code)), name) << code;
    EXPECT_EQ(SGKeyCombo(11, kCommandKeyModifier | kShiftKeyModifier).description(), "\u2318\u21E7B");
    EXPECT_EQ(SGKeyCombo(48 + 65536, 0).keyCodeString(), "Tab"); // a signed 16-bit code

    sim.setKeyboardLayout(
        std::make_shared<test::FakeLayout>("fr", std::map<uint16_t, std::u16string>{{0, u"q"}}));
    EXPECT_EQ(SGKeyCombo::stringForKeyCode(0), "Q");
}

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
        {PlistValue("Option-Tab"), SGKeyCombo::clearKeyCombo()},
        {Dict{{"keyCode", -7}, {"modifiers", -3}}, SGKeyCombo(-1, -1)},
        {Dict{{"modifiers", 2048}}, SGKeyCombo(0, 2048)},
        {Dict{{"keyCode", "48"}, {"modifiers", " 256"}}, SGKeyCombo(48, 256)},
        {Dict{{"keyCode", "Tab"}, {"modifiers", Dict{{"a", 1}}}}, SGKeyCombo(0, 0)},
        {Dict{{"keyCode", 48.9}, {"modifiers", -0.5}}, SGKeyCombo(48, 0)},
        {Dict{{"keyCode", 1e30}, {"modifiers", "99999999999999999999999"}}, SGKeyCombo(max, max)},
        {Dict{{"keyCode", -1e30}, {"modifiers", std::numeric_limits<int64_t>::min()}}, SGKeyCombo(-1, -1)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SGKeyCombo(c.stored), c.read) << c.stored.toXml();
}

} // namespace
} // namespace velora
