#include "platform/x11/x11_input.h"

#include "platform/x11/x11_client.h"
#include "platform/x11/x11_context.h"
#include "platform/x11/x11_properties.h"

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

std::shared_ptr<const KeyboardLayout> X11Input::currentKeyboardLayout() {
    return x_->keyboard.layout();
}

bool X11Input::isKeyHeldElsewhere(const InterceptedKey& key) {
    if (x_->lost.load()) return false;
    return !x_->taps.canTake({key});
}

KeyHolder X11Input::keyHolder() {
    KeyHolder holder;
    if (x_->lost.load()) return holder;
    uint32_t check = kNoWindow;
    if (!firstValue32(
            takeProperty(x_->c, requestProperty(x_->c, x_->root, x_->atoms._NET_SUPPORTING_WM_CHECK)).get(),
            check) ||
        check == kNoWindow)
        return holder;
    holder.name = textValue(takeProperty(x_->c, requestProperty(x_->c, check, x_->atoms._NET_WM_NAME)).get());
    holder.configFile =
        textValue(takeProperty(x_->c, requestProperty(x_->c, x_->root, x_->atoms._OB_CONFIG_FILE)).get());
    holder.pid = ClientReader(x_->c, x_->atoms, x_->root).resourceOwner(check);
    if (holder.pid == 0) {
        uint32_t pid = 0;
        if (firstValue32(takeProperty(x_->c, requestProperty(x_->c, check, x_->atoms._NET_WM_PID)).get(),
                         pid))
            holder.pid = pid;
    }
    return holder;
}

} // namespace velora::x11
