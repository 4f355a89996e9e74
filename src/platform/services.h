#pragma once
// The smaller ports: login items, scripting, HTTP and the beep.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace velora {

// The session's login items (XDG autostart entries on Linux).
struct LoginItem {
    std::string id;                      // the backend's name for the entry
    std::optional<std::string> resolved; // the location the entry points at; none when it does not resolve
};

class LoginItemsPort {
  public:
    virtual ~LoginItemsPort() = default;
    virtual std::vector<LoginItem> snapshot() = 0;
    // Adds an entry for the program at the path, at the end of the list.
    virtual bool insert(const std::string& programPath) = 0;
    virtual bool remove(const std::string& id) = 0;
};

class ScriptingPort {
  public:
    virtual ~ScriptingPort() = default;
    // Asks the desktop to enable assistive access for this program; false when it cannot.
    virtual bool enableAssistiveAccess() = 0;
    // Opens the desktop's settings where assistive access is granted; false when there is none.
    virtual bool openAccessibilitySettings() = 0;
};

struct HttpResponse {
    long status = 0;
    std::string body;
};

class HttpPort {
  public:
    virtual ~HttpPort() = default;
    // Plain GET. None on any failure: no connection, time-out, a body over maxBytes.
    virtual std::optional<HttpResponse> get(const std::string& url, long timeoutMs, std::size_t maxBytes) = 0;
};

class SoundPort {
  public:
    virtual ~SoundPort() = default;
    virtual void beep() = 0;
};

} // namespace velora
