#pragma once
// A picture of one colour, for items, icons and badges in the panel tests.

#include <QColor>
#include <QImage>

#include <memory>

#include "platform/image.h"

namespace velora::test {

inline ImageRef solidPicture(int w, int h, QColor color) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return std::make_shared<const Image>(std::move(image));
}

} // namespace velora::test
