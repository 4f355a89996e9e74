// Pure pieces of the X11 backend: text repair, key positions, grabs, icons.
#include <gtest/gtest.h>

#include <set>

#include "platform/input.h"
#include "platform/virtual_keys.h"
#include "platform/x11/x11_icons.h"
#include "platform/x11/x11_key_grabs.h"
#include "platform/x11/x11_keycodes.h"
#include "platform/x11/x11_text.h"

namespace velora::x11 {
namespace {

TEST(X11Text, InvalidSequencesAreRepairedHugeTextsCutAndAnIncompleteTailDroppedOnlyWhenTheReadWasCut) {
    const std::string bad = "\xEF\xBF\xBD"; // U+FFFD
    struct Case {
        std::string in;
        bool cut;
        std::string out;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"\xE2\x82\xAC \xF0\x9F\x98\x80", false, "\xE2\x82\xAC \xF0\x9F\x98\x80"},
             {"a\x80"
              "b",
              false, "a" + bad + "b"},                 // a lone continuation byte
             {"\xC0\xAF", false, bad + bad},           // an overlong '/'
             {"\xED\xA0\x80", false, bad + bad + bad}, // a surrogate
             {std::string("a\0b", 3), false, "ab"},    // NUL bytes are dropped from titles
             {"ab\xE2\x82", true, "ab"},
             {"ab\xE2\x82", false, "ab" + bad + bad}}) {
        EXPECT_EQ(repairUtf8(c.in, c.cut), c.out) << c.in;
    }
    EXPECT_EQ(latin1ToUtf8("caf\xE9\xFF"), "caf\xC3\xA9\xC3\xBF");
    // Huge texts are cut at a character boundary.
    std::string huge;
    for (int i = 0; i < 3000; ++i)
        huge += "\xE2\x82\xAC";
    const std::string cut = repairUtf8(huge);
    EXPECT_LE(cut.size(), kMaxTextBytes);
    EXPECT_EQ(repairUtf8(cut), cut);
    EXPECT_LE(latin1ToUtf8(std::string(10000, '\xE9')).size(), kMaxTextBytes);
}

TEST(X11Keycodes, KeysMapBothWaysByPosition) {
    // evdev numbering: the kernel code plus 8.
    for (auto [virtualKey, xKey] : {std::pair<int64_t, uint8_t>{vk::A, 38},
                                    {vk::Command, 64} /* left Alt */,
                                    {vk::Option, 133} /* left Super */,
                                    {-1, 0},
                                    {5000, 0}})
        EXPECT_EQ(xKeycodeForVirtualKey(virtualKey), xKey) << virtualKey;
    std::set<uint8_t> seen;
    for (int64_t v = 0; v < 128; ++v) {
        const uint8_t x = xKeycodeForVirtualKey(v);
        if (x == 0) continue;
        EXPECT_TRUE(seen.insert(x).second) << "two virtual keys on X key " << int(x);
        EXPECT_EQ(virtualKeyForXKeycode(x), v);
    }
    EXPECT_GT(seen.size(), 100u);
    EXPECT_EQ(virtualKeyForXKeycode(0), -1);
}

TEST(X11Grabs, EachCombinationIsGrabbedUnderTheFourLockStates) {
    ModifierMap map; // Alt on Mod1, Super on Mod4, NumLock on Mod2
    const auto grabs = grabsFor({{vk::Tab, kEventFlagCommand, false}}, map);
    const std::set<KeyGrab> expected{
        {23, kXMod1}, {23, kXMod1 | kXLock}, {23, kXMod1 | kXMod2}, {23, kXMod1 | kXLock | kXMod2}};
    EXPECT_EQ(grabs, expected);
    // Caps Lock in the wanted flags is not a modifier of the combination.
    EXPECT_EQ(grabsFor({{vk::Tab, kEventFlagCommand | kEventFlagAlphaShift, false}}, map), expected);
    const auto any = grabsFor({{vk::Escape, 0, true}, {-7, 0, false}}, map);
    EXPECT_EQ(any, (std::set<KeyGrab>{{9, XCB_MOD_MASK_ANY}}));
    map.optionMask = 1 << 5; // Super moved to Mod3
    EXPECT_TRUE(grabsFor({{vk::Tab, kEventFlagOption, false}}, map).count({23, 1 << 5}));
}

TEST(X11Icons, NetWmIconSizesAreReadUntilTheDataStopsAddingUp) {
    std::vector<uint32_t> data{2, 1, 0xFFFF0000, 0x80FFFFFF, 1, 1, 0xFF00FF00};
    ImageRef icon = iconFromNetWmIcon(data);
    ASSERT_TRUE(icon);
    ASSERT_EQ(icon->representations().size(), 2u);
    EXPECT_EQ(icon->size(), (Size{2, 1}));
    const QImage& big = icon->representations().back();
    EXPECT_EQ(big.pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(qAlpha(big.pixel(1, 0)), 0x80);
    // A size that claims more values than follow ends the reading; the valid ones stay.
    data.insert(data.end(), {64, 64, 1, 2, 3});
    EXPECT_EQ(iconFromNetWmIcon(data)->representations().size(), 2u);
    EXPECT_EQ(iconFromNetWmIcon({100000, 1}), nullptr);
    EXPECT_EQ(iconFromNetWmIcon({}), nullptr);
}

} // namespace
} // namespace velora::x11
