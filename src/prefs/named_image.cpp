#include "prefs/named_image.h"

#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <memory>

// Resources of a static library are registered by hand: nothing else references them, so the
// linker would leave their initialiser out.
static void registerPrefsResources() {
    Q_INIT_RESOURCE(prefs);
}

namespace velora {

namespace {

QString resourcePath(const QString& name) {
    static const bool registered = (registerPrefsResources(), true);
    (void)registered;
    for (const char* suffix : {".svg", ".png"}) {
        QString path = QStringLiteral(":/images/") + name + QLatin1String(suffix);
        if (QFile::exists(path)) return path;
    }
    return {};
}

// Draws the SVG afresh for each size, so that toolbar and menu images stay sharp.
class SvgIconEngine final : public QIconEngine {
  public:
    explicit SvgIconEngine(const QString& path) : renderer_(std::make_shared<QSvgRenderer>(path)) {}
    SvgIconEngine(const SvgIconEngine&) = default;

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        if (mode == QIcon::Disabled) painter->setOpacity(0.4);
        renderer_->render(painter, QRectF(rect));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap out(size);
        out.fill(Qt::transparent);
        QPainter painter(&out);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return out;
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new SvgIconEngine(*this); }
    QString key() const override { return QStringLiteral("velora-svg"); }

  private:
    std::shared_ptr<QSvgRenderer> renderer_;
};

} // namespace

bool hasNamedImage(const QString& name) {
    return !resourcePath(name).isEmpty();
}

QIcon namedImage(const QString& name) {
    const QString path = resourcePath(name);
    if (path.isEmpty()) return {};
    if (path.endsWith(QLatin1String(".svg"))) return QIcon(new SvgIconEngine(path));
    return QIcon(path);
}

} // namespace velora
