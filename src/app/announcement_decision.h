#pragma once
// What counts as an announcement, apart from fetching and showing it, so that the decision
// can be checked against any bytes a server may send.
#include <optional>
#include <string>
#include <string_view>

namespace velora {

inline constexpr const char* kAnnouncementMarker = "Announcement happenedqk58041:";
inline constexpr const char* kAnnouncementPrefix = "Announcement happenedqk58041: ";
inline constexpr std::size_t kMaxAnnouncementBytes = std::size_t{64} * 1024;

// The text of a server's answer: none unless the status is 2xx and the body is not empty,
// at most kMaxAnnouncementBytes long, valid UTF-8 and free of NUL characters (binary data is
// no announcement).
std::optional<std::string> announcementText(long status, std::string body);

// True when the text carries the marker, so that it is shown unless it was seen before.
bool isAnnouncement(std::string_view text);

// The text of the alert: the response with every marker-and-space removed.
std::string announcementMessage(std::string_view text);

} // namespace velora
