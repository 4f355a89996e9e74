#include "platform/linux/file_viewer.h"

#include <filesystem>
#include <system_error>
#include <thread>

#include "platform/linux/spawn.h"

namespace velora {

namespace fs = std::filesystem;

namespace {

// dbus-send gives up after this; the wait for it a little later.
constexpr int kReplyTimeoutMs = 5000;
constexpr double kWaitSeconds = 6.0;

std::string absolutePath(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    return ec ? std::string() : p.lexically_normal().string();
}

bool showItemsOverDBus(const std::string& absolute) {
    auto status = runAndWait({"dbus-send", "--session", "--print-reply",
                              "--reply-timeout=" + std::to_string(kReplyTimeoutMs),
                              "--dest=org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                              "org.freedesktop.FileManager1.ShowItems", "array:string:" + fileUri(absolute),
                              "string:"},
                             kWaitSeconds);
    return status == 0;
}

std::string containingFolder(const std::string& absolute) {
    fs::path parent = fs::path(absolute).parent_path();
    return parent.empty() ? std::string("/") : parent.string();
}

} // namespace

std::string fileUri(const std::string& absolutePath) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : absolutePath) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            uri += char(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 0xF];
        }
    }
    return uri;
}

bool revealInFileViewerAndWait(const std::string& path) {
    std::string absolute = absolutePath(path);
    if (absolute.empty()) return false;
    if (showItemsOverDBus(absolute)) return true;
    return openWithDefaultApplication(containingFolder(absolute));
}

bool revealInFileViewer(const std::string& path) {
    if (path.empty()) return false;
    try {
        std::thread([path] { revealInFileViewerAndWait(path); }).detach();
        return true;
    } catch (const std::system_error&) {
        return false;  // no thread to be had
    }
}

bool openWithDefaultApplication(const std::string& path) {
    // Absolute, so that no path can pass for an option of the opener.
    std::string absolute = absolutePath(path);
    if (absolute.empty()) return false;
    return spawnDetached({"xdg-open", absolute}) || spawnDetached({"gio", "open", absolute});
}

} // namespace velora
