#pragma once
// sway's IPC: a Unix socket ($SWAYSOCK) carrying messages of the form "i3-ipc", a 32-bit
// length, a 32-bit type (native byte order) and a JSON payload. The backend uses it for
// what the Wayland protocols do not tell a client: each window's rectangle, pid and
// workspace (get_tree), and key bindings added at run time with their "binding" events.

#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/geometry.h"

namespace velora::wl {

// One window (view) of sway's tree.
struct SwayView {
    int64_t conId = 0;
    pid_t pid = 0;
    std::string appId; // the Wayland app_id; for Xwayland views the X11 class
    std::string title;
    Rect rect;             // in the layout's coordinates (top-left origin)
    int32_t workspace = 0; // the workspace's number, 0 when it has none (or the scratchpad)
    bool visible = false;
    bool focused = false;
};

// One output of get_outputs.
struct SwayOutput {
    std::string name;
    Rect rect; // in the layout's coordinates
    double scale = 1;
    bool focused = false;
};

// The active outputs of a get_outputs reply, in its order; empty for another reply.
std::vector<SwayOutput> parseSwayOutputs(const std::string& json);
// The views of a get_tree reply, in tree order; empty for a reply that is not a tree.
std::vector<SwayView> parseSwayTree(const std::string& json);
// The command of a "binding" event ("nop velora 48 1048576"); none for another event.
std::optional<std::string> bindingEventCommand(const std::string& json);
// The outcome of each command of a run_command reply, in order: success, or sway's error.
struct SwayCommandResult {
    bool success = false;
    std::string error;
};
std::vector<SwayCommandResult> parseCommandResults(const std::string& json);
// A "workspace" event of the change "reload": the configuration was read again, and the
// bindings added at run time are gone.
bool isReloadEvent(const std::string& json);

enum class SwayMessage : uint32_t { RunCommand = 0, Subscribe = 2, GetOutputs = 3, GetTree = 4 };
inline constexpr uint32_t kSwayEventWorkspace = 0x80000000;
inline constexpr uint32_t kSwayEventBinding = 0x80000005;

// One connection. Requests from any thread, one at a time.
class SwayIpc {
  public:
    SwayIpc() = default;
    ~SwayIpc();
    SwayIpc(const SwayIpc&) = delete;
    SwayIpc& operator=(const SwayIpc&) = delete;

    // The socket at the path; false when it cannot be reached.
    bool connect(const std::string& socketPath);
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // Sends a message and reads its reply; none when the connection fails.
    std::optional<std::string> request(SwayMessage type, const std::string& payload);
    // Sends a message without reading (events then arrive on the socket).
    bool send(SwayMessage type, const std::string& payload);
    // Reads one message (a reply or an event) with its type; none when the connection fails.
    std::optional<std::string> read(uint32_t& type);
    void close();

  private:
    std::mutex mutex_;
    int fd_ = -1;
};

} // namespace velora::wl
