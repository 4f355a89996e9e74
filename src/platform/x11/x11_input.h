#pragma once
// Input port of the X11 desktop: the live modifier state asked of XKB, event taps fed by the
// event loop (X11EventTap), and the current XKB layout.

#include <memory>

#include "platform/input.h"

namespace velora::x11 {

struct X11Context;

class X11Input final : public InputPort {
  public:
    explicit X11Input(std::shared_ptr<X11Context> context) : x_(std::move(context)) {}

    uint64_t currentModifierFlags() override;
    // Null when the server has no XKB. Without XInput 2.1 the tap still sees its own grabbed
    // keys and every modifier change, but not the other keys.
    std::unique_ptr<EventTap> createEventTap(EventTapCallback callback) override;
    std::shared_ptr<const KeyboardLayout> currentKeyboardLayout() override;
    // Tries the key's grabs and lets them go at once.
    bool isKeyHeldElsewhere(const InterceptedKey& key) override;
    // The window manager: _NET_WM_NAME of the window _NET_SUPPORTING_WM_CHECK names, and the
    // process behind that window (the resource extension, else its _NET_WM_PID), and the
    // configuration file openbox names on the root (_OB_CONFIG_FILE).
    KeyHolder keyHolder() override;
    // The program grabs its keys itself.
    std::optional<HotKeyConfigLine> hotKeyConfigLine(const InterceptedKey&, const std::string&) override {
        return std::nullopt;
    }

  private:
    std::shared_ptr<X11Context> x_;
};

} // namespace velora::x11
