#include "platform/x11/x11_input.h"

#include "platform/x11/x11_context.h"

namespace velora::x11 {

uint64_t X11Input::currentModifierFlags() {
    uint16_t mods = 0;
    if (x_->lost.load() || !x_->keyboard.liveModifiers(mods)) return 0;
    return x_->taps.modifierMap().flagsForState(mods);
}

std::unique_ptr<EventTap> X11Input::createEventTap(EventTapCallback callback) {
    if (x_->lost.load() || !x_->keyboard.isOpen()) return nullptr;
    return std::make_unique<X11EventTap>(x_->taps, x_, std::move(callback));
}

std::shared_ptr<const KeyboardLayout> X11Input::currentKeyboardLayout() { return x_->keyboard.layout(); }

} // namespace velora::x11
