#pragma once
// The single-instance socket: where it lives and what is said on it, without Qt, so that
// `velora --trigger` can speak it before (and without) starting Qt.
//
// One request per connection, one line each way:
//   "reopen\n"          a later start of the program (it may show the preferences) -> "ok\n"
//   "trigger NAME\n"    a compositor binding pressed the hot key NAME (hot_key_triggers.h)
//                       -> "ok\n", or "error MESSAGE\n" when the running program cannot take it
// A program that does not know a request closes the connection without an answer. Programs
// older than the trigger answered only a request containing "reopen", so a later start of
// any version reaches any running one.

#include <optional>
#include <string>
#include <string_view>

namespace velora {

inline constexpr std::string_view kReopenRequest = "reopen";
inline constexpr std::string_view kTriggerRequest = "trigger ";
inline constexpr std::string_view kAnswerOk = "ok";
inline constexpr std::string_view kAnswerError = "error ";
// Longer lines are no request of ours.
inline constexpr std::size_t kMaxRequestLine = 256;

// The display the program runs on, as its socket names it: "wayland-<WAYLAND_DISPLAY>" on a
// Wayland session, else $DISPLAY; empty when neither is set.
std::string instanceDisplayTag();
// $XDG_RUNTIME_DIR (or $TMPDIR, or /tmp) / velora-<uid>-<display tag>, every character of the
// tag other than an ASCII letter, digit or '.' replaced by '_'.
std::string instanceSocketPath(const std::string& displayTag);

// Sends one request line and reads the answer line (without its newline). None when nobody
// listens on the path; the answer is empty when the program closed without one or did not
// answer within the time.
struct InstanceReply {
    std::string answer;
};
std::optional<InstanceReply> askRunningInstance(const std::string& path, std::string_view request,
                                                int timeoutMs);

} // namespace velora
