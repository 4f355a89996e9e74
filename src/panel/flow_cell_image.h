#pragma once
// The drawn face of one cell of the flowing row: its picture scaled once to the size it is
// shown at in front, with a fading reflection below, or a placeholder while the picture has
// not arrived. The view keeps these per cell and only transforms them while animating.

#include <QImage>
#include <QSizeF>
#include <QString>

#include "platform/image.h"

namespace velora {

// The gap between picture and reflection, and the reflection's height, in picture heights.
inline constexpr double kReflectionGap = 0.012;
inline constexpr double kReflectionHeight = 0.24;

// Width over height of what a cell shows: its picture's, or the placeholder's 4:3.
double flowCellAspect(const ImageRef& picture);

// The cell's face at pictureSize (device-independent pixels) and the given device pixel
// ratio: the picture at the top, the reflection under it; pictureSize.height() times
// (1 + kReflectionGap + kReflectionHeight) high in all. Without a picture, a rounded frame
// showing the title's first letter, or a window glyph when there is no title.
QImage renderFlowCell(const ImageRef& picture, const QString& title, QSizeF pictureSize,
                      double devicePixelRatio);

} // namespace velora
