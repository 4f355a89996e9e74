#pragma once
// Images of the application's resources, looked up by name ("General", "allApps"...), as the
// toolbar and the menus use them. Drawn for this project as SVG (or PNG) under resources/images.

#include <QIcon>
#include <QString>

namespace velora {

// The image named so, rendered sharp at every size it is asked for; an empty icon when the
// resources hold none.
QIcon namedImage(const QString& name);
// Whether the resources hold an image of that name.
bool hasNamedImage(const QString& name);

} // namespace velora
