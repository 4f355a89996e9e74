// The reading of sway's tree and outputs made when a switch begins: shared with the switch's
// first window list and its panel, waited for while under way, never served after the switch.
#include <gtest/gtest.h>

#include <future>

#include "platform/wayland/wl_switch_reading.h"

namespace velora::wl {
namespace {

TEST(SwitchReading, ServesTheTreeOnceAndTheOutputsForTheSwitchOnlyWaitingForAReadingUnderWay) {
    SwitchReading reading;
    // No switch: every caller reads for itself.
    EXPECT_FALSE(reading.takeTree());
    EXPECT_FALSE(reading.outputs());

    // Asked while the event thread is still reading: the answer waits for it.
    reading.begin();
    auto tree = std::async(std::launch::async, [&] { return reading.takeTree(); });
    auto outputs = std::async(std::launch::async, [&] { return reading.outputs(); });
    reading.done(std::string("[outputs]"));
    EXPECT_TRUE(tree.get());
    EXPECT_EQ(outputs.get(), "[outputs]");
    // The tree serves one window list; the outputs the whole switch.
    EXPECT_FALSE(reading.takeTree());
    EXPECT_EQ(reading.outputs(), "[outputs]");

    // Once the switch is over nothing is served, and a late answer of it is not taken in.
    reading.end();
    EXPECT_FALSE(reading.outputs());
    reading.done(std::string("[late]"));
    EXPECT_FALSE(reading.takeTree());
    EXPECT_FALSE(reading.outputs());

    // The next switch has a reading of its own; one whose outputs could not be read says so.
    reading.begin();
    reading.done(std::nullopt);
    EXPECT_TRUE(reading.takeTree());
    EXPECT_FALSE(reading.outputs());
}

} // namespace
} // namespace velora::wl
