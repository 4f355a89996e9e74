#include "app/announcements.h"

#include <QMessageBox>

#include "app/alert_builder.h"
#include "platform/platform.h"
#include "platform/user_defaults.h"
#include "platform/utf8_text.h"
#include "velora_config.h"

namespace velora {

std::string announcementURL() { return std::string(VELORA_ANNOUNCE_SERVER) + "/Announce.php"; }

void checkForAnnounce(const std::string& url, long timeoutMs) {
    std::optional<std::string> text;
    if (auto response = http().get(url, timeoutMs, kMaxAnnouncementBytes)) {
        if (response->status >= 200 && response->status < 300 && response->body.size() <= kMaxAnnouncementBytes &&
            firstInvalidUtf8(response->body) == std::string::npos)
            text = std::move(response->body);
    }
    if (!text || text->empty()) return;
    mainThread().performSync([&text] { processAnnounce(text); });
}

std::string announcementMessage(const std::string& text) {
    const std::string prefix = kAnnouncementPrefix;
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, from)) {
        out.append(text, from, at - from);
        from = at + prefix.size();
    }
    out.append(text, from, std::string::npos);
    return out;
}

void processAnnounce(const std::optional<std::string>& text) {
    if (!text || text->empty()) return;
    if (text->find(kAnnouncementMarker) == std::string::npos) return;
    UserDefaults& defaults = UserDefaults::standard();
    if (defaults.boolForKey(*text)) return;
    auto alert = createAlert(QStringLiteral("Announcement"), QString::fromStdString(announcementMessage(*text)),
                             {QStringLiteral("Okay")}, false);
    alert->raise();
    alert->activateWindow();
    runAlertModal(*alert);
    defaults.setBool(*text, true);
    defaults.synchronize();
}

} // namespace velora
