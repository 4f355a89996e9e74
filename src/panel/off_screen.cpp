#include "panel/off_screen.h"

#include <QWidget>
#include <QWindow>

#include "platform/platform.h"

namespace velora {

namespace {
constexpr double kConfirmTimeout = 0.25;
}

void hideAndConfirm(QWidget& window) {
    // A window never shown has no native window to wait for (and asking for its id would
    // make one).
    const bool confirm =
        window.isVisible() && window.windowHandle() && hasPlatform() && platform().windowServer;
    if (!confirm) {
        window.hide();
        return;
    }
    const auto number = uint32_t(window.winId());
    // Qt may send the unmap at once: the focus it moves must already count as passing.
    platform().windowServer->willTakeOffScreen(number);
    window.hide();
    platform().windowServer->waitUntilOffScreen(number, kConfirmTimeout);
}

} // namespace velora
