#include "app/single_instance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include "app/instance_socket.h"

namespace velora {

QString SingleInstance::socketName(const QString& display) {
    return QString::fromStdString(instanceSocketPath(display.toStdString()));
}

SingleInstance::SingleInstance(QString name) : name_(std::move(name)) {}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
}

bool SingleInstance::notifyRunningInstance(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(QByteArray::fromStdString(std::string(kReopenRequest) + "\n"));
    socket.waitForBytesWritten(timeoutMs);
    // The answer tells that the running program has read the request.
    socket.waitForReadyRead(timeoutMs);
    socket.disconnectFromServer();
    return true;
}

std::optional<std::string> SingleInstance::answer(const std::string& line) {
    if (line == kReopenRequest) {
        if (onReopen_) onReopen_();
        return std::string(kAnswerOk);
    }
    if (line.starts_with(kTriggerRequest)) {
        const std::string refusal = onTrigger_ ? onTrigger_(line.substr(kTriggerRequest.size()))
                                               : std::string("not ready for triggers yet");
        return refusal.empty() ? std::string(kAnswerOk) : std::string(kAnswerError) + refusal;
    }
    return std::nullopt;
}

bool SingleInstance::listen(std::function<void()> onReopen, TriggerHandler onTrigger) {
    onReopen_ = std::move(onReopen);
    onTrigger_ = std::move(onTrigger);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        // Nobody answered on it (notifyRunningInstance came first), so it is stale.
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) return false;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            // One request line per connection; it may arrive in pieces.
            auto pending = std::make_shared<std::string>();
            connect(socket, &QLocalSocket::readyRead, this, [this, socket, pending] {
                pending->append(socket->readAll().toStdString());
                const auto end = pending->find('\n');
                if (end == std::string::npos) {
                    if (pending->size() > kMaxRequestLine) socket->abort();
                    return;
                }
                const auto reply = end <= kMaxRequestLine ? answer(pending->substr(0, end)) : std::nullopt;
                pending->clear();
                if (!reply) {
                    socket->disconnectFromServer();
                    return;
                }
                socket->write(QByteArray::fromStdString(*reply + "\n"));
                socket->flush();
                socket->disconnectFromServer();
            });
        }
    });
    return true;
}

} // namespace velora
