#pragma once
// The drawings that mark a window picture: the space-number plate in its top-right corner,
// the owning application's icon in its middle, and the half-transparent fade of items that
// are out of sight or have been acted on. Pure functions on images, safe on any thread.
// Image coordinates here have their origin at the bottom-left corner, y growing upwards.

#include <QImage>

#include "platform/image.h"

namespace velora {

struct BadgeOptions {
    bool spaceBadge = false;
    bool appBadge = false;
    int spaceNumber = 0; // badge drawn for 1 to 39 only
    ImageRef appIcon;    // none: no application badge
    ImageRef plate;      // the "Space" image; none or smaller than 5 points: no badges at all
};

// The picture with its badges; the very same picture when nothing is to be drawn.
ImageRef badgedImage(const ImageRef& picture, const BadgeOptions& options);

// The picture redrawn at the given size with opacity 0.5; none when either side is below 5.
// A picture that is already faded keeps its opacity of 0.5: fading never compounds.
ImageRef fadedImage(const ImageRef& picture, Size size);

// The largest size among the image's representations: one is taken over the best so far
// only when it is larger in both directions.
Size bestSizeForIcon(const ImageRef& image);

// The named images of the panel ("Space", "empty"), drawn for this project; none for any
// other name. Rendered once and shared; safe on any thread.
ImageRef namedPanelImage(const char* name);

} // namespace velora
