#include "platform/x11/x11_sound.h"

#include "platform/trace.h"

namespace velora::x11 {

void X11Sound::beep() {
    trace::mark("beep");
    xcb_bell(c_, 0);
    xcb_flush(c_);
}

} // namespace velora::x11
