// Key combinations and their names: the stored form read back from hostile settings, the
// layout translator (threads) and the shipped key-code table.
#include <limits>
#include <map>
#include <thread>
#include <vector>

#include "hotkeys/sg_key_code_translator.h"
#include "hotkeys/sg_key_combo.h"
#include "platform/input.h"
#include "support/sim_fixture.h"

namespace velora {
namespace {

// Key code to the UTF-16 text it shows.
class FakeLayout : public KeyboardLayout {
  public:
    FakeLayout(std::string id, std::map<uint16_t, std::u16string> keys)
        : id_(std::move(id)), keys_(std::move(keys)) {}
    std::string identifier() const override { return id_; }
    std::u16string translate(uint16_t keyCode, uint32_t, uint32_t&) const override {
        const auto it = keys_.find(keyCode);
        return it == keys_.end() ? std::u16string() : it->second;
    }

  private:
    std::string id_;
    std::map<uint16_t, std::u16string> keys_;
};

std::shared_ptr<FakeLayout> layout(std::string id, std::map<uint16_t, std::u16string> keys) {
    return std::make_shared<FakeLayout>(std::move(id), std::move(keys));
}

// A US-like layout: letters, a keypad digit, characters beyond ASCII.
std::shared_ptr<FakeLayout> usLayout() {
    return layout("us", {{0, u"a"}, {11, u"b"}, {83, u"1"}, {12, u"\u00DF"}, {13, u"\U0001F600"}});
}

TEST(SGKeyCodeTranslator, TranslatesTheFirstCharacter) {
    SGKeyCodeTranslator translator(usLayout());
    EXPECT_EQ(translator.translateKeyCode(119), "");
    EXPECT_EQ(translator.translateKeyCode(65536 + 11), "b");  // low 16 bits
    EXPECT_EQ(translator.translateKeyCode(13), "\U0001F600"); // beyond 16 bits: whole
}

using KeyNames = test::SimTest;

TEST_F(KeyNames, NamesFromManyThreadsWhileTheLayoutChanges) {
    sim.setKeyboardLayout(layout("a", {{0, u"a"}}));
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
        sim.setKeyboardLayout(i % 2 ? layout("a", {{0, u"a"}}) : layout("b", {{0, u"q"}}));
    for (auto& t : threads)
        t.join();
}

// Fixed names come from the shipped table, others from the current layout, upper-cased; a
// change of layout renames the keys.
TEST_F(KeyNames, FixedNamesFromTheShippedTableOthersFromTheLayoutUpperCased) {
    // A layout that is unknown: fixed names work, characters are empty.
    sim.setKeyboardLayout(nullptr);
    EXPECT_EQ(SGKeyCombo::stringForKeyCode(48), "Tab");
    EXPECT_EQ(SGKeyCombo(0, kCommandKeyModifier).description(), "\u2318");

    sim.setKeyboardLayout(usLayout());
    const std::pair<int, const char*> names[] = {
        {48, "Tab"}, {0, "A"}, {12, "SS"}, {83, "Keypad 1"}, {1099, ""}}; // ß upper-cases to two letters
    for (const auto& [code, name] : names)
        EXPECT_EQ(SGKeyCombo::stringForKeyCode(static_cast<int16_t>(code)), name) << code;
    EXPECT_EQ(SGKeyCombo(11, kCommandKeyModifier | kShiftKeyModifier).description(), "\u2318\u21E7B");
    EXPECT_EQ(SGKeyCombo(48 + 65536, 0).keyCodeString(), "Tab"); // a signed 16-bit code

    sim.setKeyboardLayout(layout("fr", {{0, u"q"}}));
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
