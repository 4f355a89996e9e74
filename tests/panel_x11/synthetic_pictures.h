#pragma once
// Made-up window pictures and application icons for showing the panel with something that
// looks like a desktop: a title bar, a tool bar and some content in the window's colours.

#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <memory>

#include "platform/image.h"

namespace velora::test {

inline ImageRef syntheticWindow(int w, int h, QColor accent, const QString& title, bool dark = false) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(dark ? QColor(36, 38, 44) : QColor(246, 246, 248));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const int bar = h / 12;
    QLinearGradient titleBar(0, 0, 0, bar);
    titleBar.setColorAt(0, dark ? QColor(60, 62, 70) : QColor(232, 232, 236));
    titleBar.setColorAt(1, dark ? QColor(48, 50, 58) : QColor(214, 214, 220));
    p.fillRect(0, 0, w, bar, titleBar);
    const QColor buttons[] = {QColor(255, 95, 87), QColor(255, 189, 46), QColor(40, 201, 64)};
    for (int i = 0; i < 3; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(buttons[i]);
        p.drawEllipse(QPointF(bar * (0.7 + 0.75 * i), bar / 2.0), bar * 0.22, bar * 0.22);
    }
    QFont font;
    font.setPixelSize(std::max(8, bar / 2));
    p.setFont(font);
    p.setPen(dark ? QColor(220, 220, 225) : QColor(60, 60, 66));
    p.drawText(QRect(0, 0, w, bar), Qt::AlignCenter, title);
    // Side bar and content lines.
    p.fillRect(0, bar, w / 5, h - bar, dark ? QColor(44, 46, 54) : QColor(236, 238, 242));
    p.fillRect(w / 5 + w / 30, bar + h / 14, w / 2, h / 16, accent);
    for (int i = 0; i < 9; ++i) {
        QColor line = dark ? QColor(90, 94, 104) : QColor(200, 202, 210);
        int len = w * (45 + (i * 37) % 30) / 100;
        p.fillRect(w / 5 + w / 30, bar + h / 5 + i * h / 13, std::min(len, w - w / 5 - w / 15), h / 40, line);
    }
    for (int i = 0; i < 6; ++i)
        p.fillRect(w / 40, bar + h / 14 + i * h / 11, w / 7, h / 36, i == 1 ? accent : QColor(170, 174, 184, 120));
    p.end();
    return std::make_shared<const Image>(image);
}

// A rounded-square application icon with a letter, at 512 and 64 pixels.
inline ImageRef syntheticIcon(QColor color, const QString& letter) {
    std::vector<QImage> reps;
    for (int side : {64, 512}) {
        QImage icon(side, side, QImage::Format_ARGB32_Premultiplied);
        icon.fill(Qt::transparent);
        QPainter p(&icon);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient fill(0, 0, 0, side);
        fill.setColorAt(0, color.lighter(130));
        fill.setColorAt(1, color.darker(120));
        QPainterPath shape;
        shape.addRoundedRect(QRectF(side * 0.06, side * 0.06, side * 0.88, side * 0.88), side * 0.2, side * 0.2);
        p.fillPath(shape, fill);
        QFont font;
        font.setPixelSize(side / 2);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRect(0, 0, side, side), Qt::AlignCenter, letter);
        p.end();
        reps.push_back(icon);
    }
    return std::make_shared<const Image>(std::move(reps), Size{64, 64});
}

} // namespace velora::test
