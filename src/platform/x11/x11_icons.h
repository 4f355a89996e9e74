#pragma once
// Application icons from the pictures a client sets in _NET_WM_ICON. (The named icon of a
// desktop entry comes from the icon theme: platform/linux/theme_icons.h.)

#include <cstdint>
#include <string>
#include <vector>

#include "platform/image.h"

namespace velora::x11 {

// _NET_WM_ICON holds width, height and width*height ARGB values, once per size. Sizes that
// do not add up, or are larger than 1024 on a side, end the reading. Null when none is valid.
ImageRef iconFromNetWmIcon(const std::vector<uint32_t>& data);

} // namespace velora::x11
