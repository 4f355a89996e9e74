#pragma once
// Where windows are: a client's own area (without the manager's decorations) in root
// coordinates, and whether it is viewable. Both the accessibility side ("AXPosition",
// "AXSize") and the window list read it here, so the two agree exactly, as the window matcher
// needs. Several windows are asked in one go.

#include <xcb/xcb.h>

#include <optional>
#include <vector>

#include "platform/geometry.h"

namespace velora::x11 {

struct WindowPlace {
    Rect bounds;
    bool viewable = false;
};

// One answer per window, in order; none for a window that has gone.
std::vector<std::optional<WindowPlace>> windowPlaces(xcb_connection_t* c, xcb_window_t root,
                                                     const std::vector<xcb_window_t>& windows);
std::optional<WindowPlace> windowPlace(xcb_connection_t* c, xcb_window_t root, xcb_window_t window);

} // namespace velora::x11
