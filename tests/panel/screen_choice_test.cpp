// The monitor the panel shows on, and its frame there.
#include <gtest/gtest.h>

#include "panel/screen_choice.h"

namespace velora {
namespace {

// Two 1280x800 monitors side by side, the right one primary.
const std::vector<Rect> kScreens{{0, 0, 1280, 800}, {1280, 0, 1280, 800}};

TEST(ScreenChoice, TheFocusedWindowsMonitorWinsThenThePointersThenThePrimary) {
    // Most of the window on the left monitor, a strip of it on the right one.
    EXPECT_EQ(chooseScreen(kScreens, Rect{900, 100, 500, 300}, 1, 1), 0);
    EXPECT_EQ(chooseScreen(kScreens, Rect{1200, 100, 500, 300}, 0, 0), 1);
    // No focused window, or one wholly off every monitor: the pointer's monitor.
    EXPECT_EQ(chooseScreen(kScreens, std::nullopt, 0, 1), 0);
    EXPECT_EQ(chooseScreen(kScreens, Rect{-900, 0, 400, 300}, 0, 1), 0);
    // A window touching a monitor only along an edge does not count as on it.
    EXPECT_EQ(chooseScreen(kScreens, Rect{1280, 800, 100, 100}, 0, 1), 0);
    // Pointer on no monitor: the primary; nothing valid at all: the first.
    EXPECT_EQ(chooseScreen(kScreens, std::nullopt, -1, 1), 1);
    EXPECT_EQ(chooseScreen(kScreens, std::nullopt, 7, -1), 0);
}

TEST(ScreenChoice, ThePanelIsCutDownToStayOnItsMonitor) {
    // Larger than the monitor: the monitor's whole area, never a pixel on the neighbour.
    EXPECT_EQ(centeredInside(kScreens[1], Size{3000, 437}), (Rect{1280, 181, 1280, 437}));
}

} // namespace
} // namespace velora
