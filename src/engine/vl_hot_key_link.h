#pragma once
// What the switching engine asks of the hot key center: to be its delegate, the temporary
// backward key of a switch, and the command keys taken for the span of a switch. The
// program uses the shared center; engine tests install a recording link.

#include <cstdint>
#include <vector>

#include "hotkeys/sg_hot_key.h"
#include "hotkeys/sg_hot_key_center.h"

namespace velora {

class VLHotKeyLink {
  public:
    virtual ~VLHotKeyLink() = default;
    virtual void setDelegate(SGHotKeyCenterDelegate* delegate) = 0;
    virtual void registerHotKey(const SGHotKeyRef& hotKey) = 0;
    virtual void unregisterHotKey(const SGHotKeyRef& hotKey) = 0;
    virtual void setCommandKeys(std::vector<int64_t> keyCodes) = 0;

    // The link to SGHotKeyCenter::sharedCenter().
    static VLHotKeyLink& sharedCenter();
};

} // namespace velora
