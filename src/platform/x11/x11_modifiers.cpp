#include "platform/x11/x11_modifiers.h"

#include "platform/input.h"

namespace velora::x11 {

uint64_t ModifierMap::flagsForState(uint16_t xState) const {
    uint64_t flags = 0;
    if (xState & kXShift) flags |= kEventFlagShift;
    if (xState & kXControl) flags |= kEventFlagControl;
    if (xState & kXLock) flags |= kEventFlagAlphaShift;
    if (xState & commandMask) flags |= kEventFlagCommand;
    if (xState & optionMask) flags |= kEventFlagOption;
    return flags;
}

uint16_t ModifierMap::stateForFlags(uint64_t flags) const {
    uint16_t state = 0;
    if (flags & kEventFlagShift) state |= kXShift;
    if (flags & kEventFlagControl) state |= kXControl;
    if (flags & kEventFlagCommand) state |= commandMask;
    if (flags & kEventFlagOption) state |= optionMask;
    return state;
}

} // namespace velora::x11
