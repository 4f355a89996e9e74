#include "app/announcements.h"

#include <QMessageBox>

#include "app/alert_builder.h"
#include "platform/platform.h"
#include "settings/user_defaults.h"
#include "velora_config.h"

namespace velora {

std::string announcementURL() {
    return std::string(VELORA_ANNOUNCE_SERVER) + "/Announce.php";
}

void checkForAnnounce(const std::string& url, long timeoutMs) {
    std::optional<std::string> text;
    if (auto response = http().get(url, timeoutMs, kMaxAnnouncementBytes))
        text = announcementText(response->status, std::move(response->body));
    if (!text) return;
    mainThread().performSync([&text] { processAnnounce(text); });
}

void processAnnounce(const std::optional<std::string>& text) {
    if (!text || text->empty()) return;
    if (!isAnnouncement(*text)) return;
    UserDefaults& defaults = UserDefaults::standard();
    if (defaults.boolForKey(*text)) return;
    auto alert =
        createAlert(QStringLiteral("Announcement"), QString::fromStdString(announcementMessage(*text)),
                    {QStringLiteral("Okay")}, false);
    alert->raise();
    alert->activateWindow();
    runAlertModal(*alert);
    defaults.setBool(*text, true);
    defaults.synchronize();
}

} // namespace velora
