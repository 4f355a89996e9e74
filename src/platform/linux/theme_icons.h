#pragma once
// Named icons through the freedesktop icon theme lookup (QIcon::fromTheme): the user's icon
// theme and the themes it inherits, then hicolor, then the plain pixmaps folders.
//
// QIcon's theme lookup is not thread-safe and needs the GUI application: call on the main
// thread only, and hand the images to other threads.

#include <string>

#include "platform/image.h"

namespace velora {

// Every size the theme has of the named icon (an absolute path is loaded as it is); null when
// there is none, when no GUI application runs, or off the main thread.
ImageRef themeIcon(const std::string& name);

} // namespace velora
