// Renders an SVG file to a square PNG at the build, for the fixed-size icon folders of the
// icon theme. Usage: velora_render_icon SVG SIZE PNG
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: velora_render_icon SVG SIZE PNG\n");
        return 2;
    }
    // No application object: painting an SVG without text into an image needs no platform
    // plug-in, so the build needs no display and no session (no XDG_RUNTIME_DIR).
    bool ok = false;
    const int size = QString::fromLocal8Bit(argv[2]).toInt(&ok);
    if (!ok || size < 1 || size > 4096) {
        std::fprintf(stderr, "velora_render_icon: bad size '%s'\n", argv[2]);
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "velora_render_icon: cannot read '%s'\n", argv[1]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "velora_render_icon: cannot write '%s'\n", argv[3]);
        return 1;
    }
    return 0;
}
