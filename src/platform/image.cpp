#include "platform/image.h"

namespace velora {

QImage Image::bestRepresentation(Size forSize) const {
    const QImage* best = nullptr;
    for (const QImage& rep : representations_) {
        if (!best) {
            best = &rep;
            continue;
        }
        bool bigEnough = rep.width() >= forSize.width && rep.height() >= forSize.height;
        bool bestBigEnough = best->width() >= forSize.width && best->height() >= forSize.height;
        const bool smallerBigEnough =
            bigEnough && (!bestBigEnough || rep.width() * rep.height() < best->width() * best->height());
        const bool largerOfTheSmall =
            !bigEnough && !bestBigEnough && rep.width() * rep.height() > best->width() * best->height();
        if (smallerBigEnough || largerOfTheSmall) best = &rep;
    }
    return best ? *best : QImage();
}

} // namespace velora
