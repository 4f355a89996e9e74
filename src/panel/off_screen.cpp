#include "panel/off_screen.h"

#include <QWidget>
#include <QWindow>

#include "platform/platform.h"

namespace velora {

namespace {
constexpr double kConfirmTimeout = 0.25;
}

void hideAndConfirm(QWidget& window) {
    const bool wasShown = window.isVisible();
    window.hide();
    // A window never shown has no native window to wait for (and asking for its id would
    // make one).
    if (!wasShown || !window.windowHandle() || !hasPlatform() || !platform().windowServer) return;
    platform().windowServer->waitUntilOffScreen(uint32_t(window.winId()), kConfirmTimeout);
}

} // namespace velora
