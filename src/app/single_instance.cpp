#include "app/single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace velora {

namespace {
constexpr char kReopen[] = "reopen\n";
}

QString SingleInstance::socketName(const QString& display) {
    QString folder = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::tempPath();
    QString tag = display;
    for (QChar& c : tag)
        if (!c.isLetterOrNumber() && c != QLatin1Char('.')) c = QLatin1Char('_');
    return folder +
           QStringLiteral("/velora-%1-%2").arg(::getuid()).arg(tag.isEmpty() ? QStringLiteral("none") : tag);
}

SingleInstance::SingleInstance(QString name) : name_(std::move(name)) {}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
}

bool SingleInstance::notifyRunningInstance(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(kReopen);
    socket.waitForBytesWritten(timeoutMs);
    // The answer tells that the running program has read the request.
    socket.waitForReadyRead(timeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::listen(std::function<void()> onReopen) {
    onReopen_ = std::move(onReopen);
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
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->readAll().contains("reopen")) return;
                socket->write("ok\n");
                socket->flush();
                if (onReopen_) onReopen_();
            });
        }
    });
    return true;
}

} // namespace velora
