#pragma once
// Announcements: once per launch a short text is fetched from the announcement server; when
// it carries the marker and has not been shown before, it is shown once in an alert.
//
// - The seen record is a boolean in the user defaults under the complete response text.
// - The fetch runs on the engine's announcement thread only, with a time-out, so a slow
//   server never delays start-up or a switch; the decision and the alert run on the main
//   thread while that thread waits.
// - A failed request, a body over kMaxAnnouncementBytes or a body that is not valid UTF-8
//   count as no announcement. The text is shown as plain text, never as markup.
#include <optional>
#include <string>

#include "app/announcement_decision.h"

namespace velora {

// The announcement endpoint of this build.
std::string announcementURL();

// Fetches the text (none on failure) and hands it to processAnnounce on the main thread,
// waiting until the alert has been dismissed. Runs on a thread of its own.
void checkForAnnounce(const std::string& url, long timeoutMs);

// Main thread: decides, shows the alert and records that it was seen.
void processAnnounce(const std::optional<std::string>& text);

} // namespace velora
