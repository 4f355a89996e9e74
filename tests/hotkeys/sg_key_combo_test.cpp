// Key combinations: the stored form read back from hostile settings.
#include <gtest/gtest.h>

#include <limits>

#include "hotkeys/sg_key_combo.h"

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
