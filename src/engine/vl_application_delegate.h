#pragma once
// What the switching engine needs of the application controller.

#include "hotkeys/sg_hot_key.h"

namespace velora {

class VLApplicationDelegate {
  public:
    virtual ~VLApplicationDelegate() = default;
    // The hot key that walks backward in any mode; registered only for the span of a switch.
    virtual SGHotKeyRef keyUniversalBackward() = 0;
    // Opens the preferences window (main thread).
    virtual void showPreferences() = 0;
};

} // namespace velora
