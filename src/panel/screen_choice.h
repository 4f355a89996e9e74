#pragma once
// Which monitor the switch panel shows on: the one that holds the focused window, else the
// one under the pointer, else the primary. Plain geometry, so that the rule is one function
// that every caller shares.

#include <optional>
#include <vector>

#include "platform/geometry.h"

namespace velora {

// The index of the screen (rectangles in the window server's coordinates, in the platform's
// screen order) that holds the largest part of `window`; when the window is unknown or on no
// screen, `pointerScreen`; when that is not a valid index either, `primary` (0 when invalid).
int chooseScreen(const std::vector<Rect>& screens, const std::optional<Rect>& window, int pointerScreen,
                 int primary);

// A frame of `size` centred on `area` and wholly inside it: a size larger than the area is
// cut down to the area, so that the panel never reaches onto a neighbouring monitor.
Rect centeredInside(const Rect& area, Size size);

} // namespace velora
