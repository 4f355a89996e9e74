#include "app/status_icons.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

// Resources of a static library are registered by hand, or the linker leaves them out.
static void registerAppResources() {
    Q_INIT_RESOURCE(app);
}

namespace velora {

void ensureAppResources() {
    static const bool registered = (registerAppResources(), true);
    (void)registered;
}

namespace {

constexpr int kSizes[] = {16, 22, 24, 32, 48};

QPixmap tinted(const QPixmap& source, const QColor& colour) {
    QPixmap out(source.size());
    out.setDevicePixelRatio(source.devicePixelRatio());
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.drawPixmap(0, 0, source);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(out.rect(), colour);
    return out;
}

} // namespace

QColor monoIconColour() {
    return QGuiApplication::palette().color(QPalette::Active, QPalette::WindowText);
}

QIcon statusIcon(bool mono, const QColor& monoColour) {
    ensureAppResources();
    QIcon icon;
    const QIcon normal(mono ? QStringLiteral(":/app/monoIcon.svg") : QStringLiteral(":/app/menuIcon.svg"));
    const QIcon alternate(QStringLiteral(":/app/menuIconAlt.svg"));
    for (int size : kSizes) {
        QPixmap pixmap = normal.pixmap(size, size);
        icon.addPixmap(mono ? tinted(pixmap, monoColour) : pixmap, QIcon::Normal);
        icon.addPixmap(alternate.pixmap(size, size), QIcon::Active);
    }
    return icon;
}

} // namespace velora
