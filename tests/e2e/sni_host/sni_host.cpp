// A small StatusNotifierItem host for the tray tests. It owns org.kde.StatusNotifierWatcher on
// the session bus and counts itself as the host, so Qt programs put their status icons on the
// bus. Each registered item is shown as a small window titled "sni-item icon" (its IconPixmap
// or IconName drawn; "sni-item blank" when it has no image); a left click on it calls the
// item's Activate, a right click its ContextMenu, both at the pointer on release. The window
// goes when the item's bus name does. Prints "ready" on stdout once the watcher's name is owned.
#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QMouseEvent>
#include <QObject>
#include <QPainter>
#include <QPixmap>
#include <QStringList>
#include <QWidget>
#include <cstdio>
#include <map>
#include <memory>

namespace {

constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";

// The largest image of an IconPixmap value: an array of (width, height, ARGB32 bytes in
// network order).
QImage largestPixmap(const QDBusArgument& argument) {
    QImage best;
    argument.beginArray();
    while (!argument.atEnd()) {
        int width = 0, height = 0;
        QByteArray bytes;
        argument.beginStructure();
        argument >> width >> height >> bytes;
        argument.endStructure();
        if (width <= 0 || height <= 0 || bytes.size() < qsizetype(width) * height * 4) continue;
        if (!best.isNull() && width * height <= best.width() * best.height()) continue;
        QImage image(width, height, QImage::Format_ARGB32);
        const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x, p += 4)
                image.setPixel(x, y, qRgba(p[1], p[2], p[3], p[0]));
        best = image;
    }
    argument.endArray();
    return best;
}

class ItemWindow : public QWidget {
  public:
    ItemWindow(QString service, QString path) : service_(std::move(service)), path_(std::move(path)) {
        // A panel's icon: a click on it never takes the focus, which would close the menu the
        // click opens.
        setWindowFlag(Qt::WindowDoesNotAcceptFocus);
        setAttribute(Qt::WA_X11NetWmWindowTypeDock);
        setFixedSize(32, 32);
        refresh();
    }

    void refresh() {
        QDBusInterface properties(service_, path_, QStringLiteral("org.freedesktop.DBus.Properties"));
        QDBusMessage reply = properties.call(QStringLiteral("GetAll"), QString::fromLatin1(kItemInterface));
        image_ = QImage();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            const QVariantMap all = qdbus_cast<QVariantMap>(reply.arguments().front());
            const QVariant pixmap = all.value(QStringLiteral("IconPixmap"));
            if (pixmap.canConvert<QDBusArgument>()) image_ = largestPixmap(pixmap.value<QDBusArgument>());
            const QString name = all.value(QStringLiteral("IconName")).toString();
            if (image_.isNull() && !name.isEmpty())
                image_ = (QFileInfo(name).isAbsolute() ? QIcon(name) : QIcon::fromTheme(name))
                             .pixmap(32)
                             .toImage();
        }
        setWindowTitle(image_.isNull() ? QStringLiteral("sni-item blank") : QStringLiteral("sni-item icon"));
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::darkGray);
        if (!image_.isNull()) painter.drawImage(rect(), image_);
    }
    // On release, as panels do: the click's pointer grab has ended when the item opens a menu.
    void mouseReleaseEvent(QMouseEvent* event) override {
        const char* method = event->button() == Qt::RightButton ? "ContextMenu" : "Activate";
        const QPoint at = event->globalPosition().toPoint();
        QDBusMessage call = QDBusMessage::createMethodCall(
            service_, path_, QString::fromLatin1(kItemInterface), QString::fromLatin1(method));
        call << at.x() << at.y();
        QDBusConnection::sessionBus().asyncCall(call);
    }

  private:
    QString service_, path_;
    QImage image_;
};

class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

  public:
    Watcher() {
        watcher_.setConnection(QDBusConnection::sessionBus());
        watcher_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
        connect(&watcher_, &QDBusServiceWatcher::serviceUnregistered, this, &Watcher::forget);
    }
    QStringList items() const {
        QStringList out;
        for (const auto& [key, item] : items_)
            out << key;
        return out;
    }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

  public slots:
    void RegisterStatusNotifierItem(const QString& serviceOrPath, const QDBusMessage& message) {
        // Either a bus name (the item at /StatusNotifierItem) or an object path of the caller.
        QString service = serviceOrPath, path = QStringLiteral("/StatusNotifierItem");
        if (serviceOrPath.startsWith(QLatin1Char('/'))) {
            service = message.service();
            path = serviceOrPath;
        }
        const QString key = service + path;
        Item& item = items_[key];
        if (!item.window) {
            // The item goes when its name does, or when the connection owning it does.
            item.names = {service, QDBusConnection::sessionBus().interface()->serviceOwner(service).value()};
            for (const QString& name : item.names)
                if (!name.isEmpty()) watcher_.addWatchedService(name);
            item.window = std::make_unique<ItemWindow>(service, path);
            item.window->show();
        } else {
            item.window->refresh();
        }
        emit StatusNotifierItemRegistered(key);
    }
    void RegisterStatusNotifierHost(const QString&) {}

  signals:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();

  private:
    void forget(const QString& name) {
        for (auto it = items_.begin(); it != items_.end();) {
            if (!it->second.names.contains(name)) {
                ++it;
                continue;
            }
            const QString key = it->first;
            it = items_.erase(it);
            emit StatusNotifierItemUnregistered(key);
        }
    }

    QDBusServiceWatcher watcher_;
    struct Item {
        QStringList names;
        std::unique_ptr<ItemWindow> window;
    };
    std::map<QString, Item> items_;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "sni_host: no session bus\n");
        return 1;
    }
    Watcher watcher;
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                QDBusConnection::ExportAllProperties) ||
        !bus.registerService(QString::fromLatin1(kWatcher))) {
        std::fprintf(stderr, "sni_host: cannot own %s\n", kWatcher);
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QApplication::exec();
}

#include "sni_host.moc"
