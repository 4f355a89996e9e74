#pragma once
// The backend's X key codes and virtual key codes: the shared positional table.

#include "platform/x_keycodes.h"

namespace velora::x11 {

using velora::virtualKeyForXKeycode;
using velora::xKeycodeForVirtualKey;

} // namespace velora::x11
