// The accessibility permission check at start-up.
#include <QMessageBox>

#include "app/alert_builder.h"
#include "app/velora_controller.h"
#include "model/vl_element.h"
#include "platform/platform.h"

namespace velora {

namespace {

constexpr int kWaitChecks = 80;
constexpr double kWaitInterval = 0.5;
constexpr float kMessagingTimeout = 0.2f;

const char* const kPermissionText =
    "You need to enable support for assistive devices.\n\nSupport for assistive devices is a Mac OS feature "
    "which "
    "allows applications to interact with one another. In this case, it allows Velora to activate and change "
    "windows.\n\nYou can enable support for assistive devices by opening the Universal Access pane in System "
    "Preferences. The checkbox you are looking for there is called \"Enable access for assistive "
    "devices\".\n\n"
    "If you want, Velora can enable it for you.";

} // namespace

bool VeloraController::checkAXAPI() {
    AccessibilityPort& ax = accessibility();
    if (!ax.isAPIEnabled()) {
        auto alert = createAlert(QStringLiteral("Error"), QString::fromUtf8(kPermissionText),
                                 {QStringLiteral("Enable"), QStringLiteral("Quit")}, false);
        alert->raise();
        if (runAlertModal(*alert) == kAlertFirstButtonReturn) {
            scripting().enableAssistiveAccess();
            if (!ax.isAPIEnabled()) {
                scripting().openAccessibilitySettings();
                for (int i = 0; i < kWaitChecks; ++i) {
                    if (ax.isAPIEnabled()) break;
                    if (!mainThread().sleepFor(kWaitInterval)) break;
                }
            }
        }
    }
    if (ax.isAPIEnabled()) {
        ax.setMessagingTimeout(VLElement::systemWideElement()->element(), kMessagingTimeout);
        return true;
    }
    terminate();
    return false;
}

} // namespace velora
