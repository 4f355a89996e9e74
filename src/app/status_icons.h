#pragma once
// The status item's images, from the program's resources.
#include <QColor>
#include <QIcon>

namespace velora {

// Makes the images under ":/app/" available (menuIcon, monoIcon, menuIconAlt, velora).
void ensureAppResources();

// "menuIcon" (or "monoIcon" painted in `monoColour`), with "menuIconAlt" as the image of the
// active (menu open) state.
QIcon statusIcon(bool mono, const QColor& monoColour);

// The monochrome icon's colour: the palette's window text, which is dark on light panels and
// light on dark ones.
QColor monoIconColour();

} // namespace velora
