// A small StatusNotifierItem host for the tray tests. It owns org.kde.StatusNotifierWatcher on
// the session bus and counts itself as the host, so Qt programs put their status icons on the
// bus. Each registered item is shown as a small window titled "sni-item icon" when it has an
// image (an IconPixmap of some size, or an IconName that resolves; "sni-item blank" without); a left click on
// it calls the item's Activate, a right click its ContextMenu, both at the pointer on release. The window
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
#include <QMouseEvent>
#include <QObject>
#include <QStringList>
#include <QWidget>
#include <cstdio>
#include <map>
#include <memory>

namespace {

constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";

// Whether an IconPixmap value (an array of width, height, ARGB32 bytes) holds an image.
bool hasPixmap(const QDBusArgument& argument) {
    bool found = false;
    argument.beginArray();
    while (!argument.atEnd()) {
        int width = 0, height = 0;
        QByteArray bytes;
        argument.beginStructure();
        argument >> width >> height >> bytes;
        argument.endStructure();
        found = found || (width > 0 && height > 0 && bytes.size() >= qsizetype(width) * height * 4);
    }
    argument.endArray();
    return found;
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
        bool image = false;
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            const QVariantMap all = qdbus_cast<QVariantMap>(reply.arguments().front());
            const QVariant pixmap = all.value(QStringLiteral("IconPixmap"));
            const QString name = all.value(QStringLiteral("IconName")).toString();
            image =
                (pixmap.canConvert<QDBusArgument>() && hasPixmap(pixmap.value<QDBusArgument>())) ||
                (!name.isEmpty() &&
                 !(QFileInfo(name).isAbsolute() ? QIcon(name) : QIcon::fromTheme(name)).pixmap(32).isNull());
        }
        setWindowTitle(image ? QStringLiteral("sni-item icon") : QStringLiteral("sni-item blank"));
    }

  protected:
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
};

class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    // What Qt asks before it puts its icon on the bus.
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)

  public:
    Watcher() {
        watcher_.setConnection(QDBusConnection::sessionBus());
        watcher_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
        connect(&watcher_, &QDBusServiceWatcher::serviceUnregistered, this, [this](const QString& name) {
            std::erase_if(items_, [&](const auto& item) { return item.second.names.contains(name); });
        });
    }
    bool hostRegistered() const { return true; }

  public slots:
    void RegisterStatusNotifierItem(const QString& serviceOrPath, const QDBusMessage& message) {
        // Either a bus name (the item at /StatusNotifierItem) or an object path of the caller.
        QString service = serviceOrPath, path = QStringLiteral("/StatusNotifierItem");
        if (serviceOrPath.startsWith(QLatin1Char('/'))) {
            service = message.service();
            path = serviceOrPath;
        }
        Item& item = items_[service + path];
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
    }

  private:
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
