// The key codes the shortcut recorder records: one Qt key per rule of the mapping.
#include <gtest/gtest.h>

#include "platform/virtual_keys.h"
#include "prefs/recorder_keys.h"

namespace velora {
namespace {

TEST(RecorderKeys, QtKeysBecomeVirtualKeysByTheirUSCharacter) {
    const struct {
        int qtKey;
        int64_t key;
    } cases[] = {
        {Qt::Key_Backtab, vk::Tab}, // what Shift+Tab arrives as
        {Qt::Key_Exclam, vk::Key1}, // Shift+1
        {Qt::Key_MediaPlay, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(virtualKeyForQtKey(c.qtKey, false), c.key) << std::hex << c.qtKey;
}

} // namespace
} // namespace velora
