// Hot key registration on every settings change.
#include "app_fixture.h"
#include "hotkeys/sg_key_combo.h"

namespace velora::test {
namespace {

using HotKeys = AppTest;

TEST_F(HotKeys, SixCycleKeysRegisteredAndReplacedOnEveryChange) {
    ASSERT_TRUE(startController());
    std::vector<SGHotKeyRef> first = registered();
    ASSERT_EQ(first.size(), 6u);

    // Even a recorded backward key stays unregistered outside a switch; a cleared one goes.
    defaults().setObject("KeyUniversalBackward", SGKeyCombo(50, 2048).plistRepresentation());
    defaults().setObject("KeyCycleAppForward", SGKeyCombo(12, 4096).plistRepresentation());
    defaults().setObject("KeyCycleWindowBackward", SGKeyCombo::clearKeyCombo().plistRepresentation());
    settingsChanged();
    std::vector<SGHotKeyRef> second = registered();
    ASSERT_EQ(second.size(), 5u);
    for (const auto& key : second)
        EXPECT_EQ(std::find(first.begin(), first.end(), key), first.end())
            << "an old hot key is still registered";
    EXPECT_FALSE(isRegistered("KeyUniversalBackward"));
    EXPECT_FALSE(isRegistered("KeyCycleWindowBackward"));
    EXPECT_EQ(controller->keyCycleAppForward()->keyCombo(), SGKeyCombo(12, 4096));
}

} // namespace
} // namespace velora::test
