#include "app/announcement_decision.h"

#include "base/utf8_text.h"

namespace velora {

std::optional<std::string> announcementText(long status, std::string body) {
    if (status < 200 || status >= 300) return std::nullopt;
    if (body.empty() || body.size() > kMaxAnnouncementBytes) return std::nullopt;
    if (!isValidUtf8(body)) return std::nullopt;
    // The text becomes the key of its seen record, and a settings file cannot hold a NUL:
    // such a record would not be found again and the text would come back at every start.
    if (body.find('\0') != std::string::npos) return std::nullopt;
    return body;
}

bool isAnnouncement(std::string_view text) {
    return text.find(kAnnouncementMarker) != std::string_view::npos;
}

std::string announcementMessage(std::string_view text) {
    const std::string_view prefix = kAnnouncementPrefix;
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at = text.find(prefix); at != std::string_view::npos; at = text.find(prefix, from)) {
        out.append(text.substr(from, at - from));
        from = at + prefix.size();
    }
    out.append(text.substr(from));
    return out;
}

} // namespace velora
