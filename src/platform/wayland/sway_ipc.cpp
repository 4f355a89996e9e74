#include "platform/wayland/sway_ipc.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cstring>

namespace velora::wl {

namespace {

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr uint32_t kLargestPayload = 64u << 20;

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

bool readAll(int fd, char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::recv(fd, data, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

void collectViews(const QJsonObject& node, int32_t workspace, std::vector<SwayView>& out) {
    const QString type = node.value(QStringLiteral("type")).toString();
    if (type == QStringLiteral("workspace")) workspace = node.value(QStringLiteral("num")).toInt(0);
    // A view is a container with a pid (Wayland and Xwayland windows alike).
    const bool isView = (type == QStringLiteral("con") || type == QStringLiteral("floating_con")) &&
                        node.contains(QStringLiteral("pid"));
    if (isView) {
        SwayView view;
        view.conId = node.value(QStringLiteral("id")).toInteger();
        view.pid = pid_t(node.value(QStringLiteral("pid")).toInt());
        QJsonValue appId = node.value(QStringLiteral("app_id"));
        if (appId.isString())
            view.appId = appId.toString().toStdString();
        else
            view.appId = node.value(QStringLiteral("window_properties"))
                             .toObject()
                             .value(QStringLiteral("class"))
                             .toString()
                             .toStdString();
        view.title = node.value(QStringLiteral("name")).toString().toStdString();
        const QJsonObject rect = node.value(QStringLiteral("rect")).toObject();
        view.rect = Rect{
            rect.value(QStringLiteral("x")).toDouble(), rect.value(QStringLiteral("y")).toDouble(),
            rect.value(QStringLiteral("width")).toDouble(), rect.value(QStringLiteral("height")).toDouble()};
        view.workspace = workspace;
        view.visible = node.value(QStringLiteral("visible")).toBool();
        view.focused = node.value(QStringLiteral("focused")).toBool();
        out.push_back(std::move(view));
    }
    for (const char* key : {"nodes", "floating_nodes"})
        for (const auto& child : node.value(QLatin1String(key)).toArray())
            collectViews(child.toObject(), workspace, out);
}

} // namespace

std::vector<SwayView> parseSwayTree(const std::string& json) {
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json));
    std::vector<SwayView> views;
    if (!doc.isObject()) return views;
    collectViews(doc.object(), 0, views);
    return views;
}

std::vector<SwayOutput> parseSwayOutputs(const std::string& json) {
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json));
    std::vector<SwayOutput> outputs;
    for (const auto& value : doc.array()) {
        const QJsonObject o = value.toObject();
        if (!o.value(QStringLiteral("active")).toBool()) continue;
        const QJsonObject rect = o.value(QStringLiteral("rect")).toObject();
        SwayOutput out;
        out.name = o.value(QStringLiteral("name")).toString().toStdString();
        out.rect = Rect{
            rect.value(QStringLiteral("x")).toDouble(), rect.value(QStringLiteral("y")).toDouble(),
            rect.value(QStringLiteral("width")).toDouble(), rect.value(QStringLiteral("height")).toDouble()};
        out.scale = o.value(QStringLiteral("scale")).toDouble(1.0);
        out.focused = o.value(QStringLiteral("focused")).toBool();
        outputs.push_back(std::move(out));
    }
    return outputs;
}

std::optional<std::string> bindingEventCommand(const std::string& json) {
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json));
    if (!doc.isObject()) return std::nullopt;
    const QJsonValue binding = doc.object().value(QStringLiteral("binding"));
    if (!binding.isObject()) return std::nullopt;
    const QJsonValue command = binding.toObject().value(QStringLiteral("command"));
    if (!command.isString()) return std::nullopt;
    return command.toString().toStdString();
}

std::vector<SwayCommandResult> parseCommandResults(const std::string& json) {
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json));
    std::vector<SwayCommandResult> out;
    for (const auto& entry : doc.array()) {
        const QJsonObject result = entry.toObject();
        out.push_back({result.value(QStringLiteral("success")).toBool(),
                       result.value(QStringLiteral("error")).toString().toStdString()});
    }
    return out;
}

bool isReloadEvent(const std::string& json) {
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json));
    return doc.isObject() &&
           doc.object().value(QStringLiteral("change")).toString() == QLatin1String("reload");
}

SwayIpc::~SwayIpc() {
    close();
}

bool SwayIpc::connect(const std::string& socketPath) {
    sockaddr_un address{};
    if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.data(), socketPath.size());
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return false;
    }
    std::lock_guard lock(mutex_);
    fd_ = fd;
    return true;
}

bool SwayIpc::send(SwayMessage type, const std::string& payload) {
    if (fd_ < 0) return false;
    char header[14];
    std::memcpy(header, kMagic, 6);
    const uint32_t length = uint32_t(payload.size()), kind = uint32_t(type);
    std::memcpy(header + 6, &length, 4);
    std::memcpy(header + 10, &kind, 4);
    return writeAll(fd_, header, sizeof header) && writeAll(fd_, payload.data(), payload.size());
}

std::optional<std::string> SwayIpc::read(uint32_t& type) {
    if (fd_ < 0) return std::nullopt;
    char header[14];
    if (!readAll(fd_, header, sizeof header) || std::memcmp(header, kMagic, 6) != 0) return std::nullopt;
    uint32_t length = 0;
    std::memcpy(&length, header + 6, 4);
    std::memcpy(&type, header + 10, 4);
    if (length > kLargestPayload) return std::nullopt;
    std::string payload(length, '\0');
    if (!readAll(fd_, payload.data(), length)) return std::nullopt;
    return payload;
}

std::optional<std::string> SwayIpc::request(SwayMessage type, const std::string& payload) {
    std::lock_guard lock(mutex_);
    if (!send(type, payload)) return std::nullopt;
    uint32_t replyType = 0;
    return read(replyType);
}

void SwayIpc::close() {
    std::lock_guard lock(mutex_);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

} // namespace velora::wl
