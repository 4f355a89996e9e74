#pragma once
// Application icons: the pictures a client sets in _NET_WM_ICON, else the named icon of its
// desktop entry from the icon theme folders (hicolor, then the plain pixmaps folder).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/image.h"

namespace velora::x11 {

// _NET_WM_ICON holds width, height and width*height ARGB values, once per size. Sizes that
// do not add up, or are larger than 1024 on a side, end the reading. Null when none is valid.
ImageRef iconFromNetWmIcon(const std::vector<uint32_t>& data);

// Every size of the named icon found in the XDG data folders; an absolute path is loaded as
// it is. Null when there is none.
ImageRef iconFromTheme(const std::string& name);

} // namespace velora::x11
