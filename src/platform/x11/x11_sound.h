#pragma once
// Sound port of the X11 desktop: the beep is the X bell.

#include <xcb/xcb.h>

#include "platform/services.h"

namespace velora::x11 {

class X11Sound final : public SoundPort {
  public:
    explicit X11Sound(xcb_connection_t* c) : c_(c) {}
    void beep() override;

  private:
    xcb_connection_t* c_;
};

} // namespace velora::x11
