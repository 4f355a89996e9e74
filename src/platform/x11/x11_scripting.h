#pragma once
// Scripting port of the X11 desktop. X11 asks no permission for what the backend does (the
// permission is the server offering the extensions), so there is nothing to enable and no
// settings to open.

#include "platform/services.h"

namespace velora::x11 {

class X11Scripting final : public ScriptingPort {
  public:
    bool enableAssistiveAccess() override { return false; }
    bool openAccessibilitySettings() override { return false; }
};

} // namespace velora::x11
