#include "platform/linux/file_viewer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QUrl>

#include <filesystem>
#include <system_error>
#include <thread>

#include "platform/linux/spawn.h"

namespace velora {

namespace fs = std::filesystem;

namespace {

// A file manager that is not running is started by the bus first; it gets this long.
constexpr int kReplyTimeoutMs = 5000;

std::string absolutePath(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    return ec ? std::string() : p.lexically_normal().string();
}

bool showItemsOverDBus(const std::string& absolute) {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    const QString uri = QUrl::fromLocalFile(QString::fromStdString(absolute)).toString(QUrl::FullyEncoded);
    call << QStringList{uri} << QString();
    return bus.call(call, QDBus::Block, kReplyTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

std::string containingFolder(const std::string& absolute) {
    fs::path parent = fs::path(absolute).parent_path();
    return parent.empty() ? std::string("/") : parent.string();
}

} // namespace

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
        return false; // no thread to be had
    }
}

bool openWithDefaultApplication(const std::string& path) {
    // Absolute, so that no path can pass for an option of the opener.
    std::string absolute = absolutePath(path);
    if (absolute.empty()) return false;
    return spawnDetached({"xdg-open", absolute}) || spawnDetached({"gio", "open", absolute});
}

} // namespace velora
