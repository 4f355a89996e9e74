#include "platform/linux/theme_icons.h"

#include <QGuiApplication>
#include <QIcon>
#include <QSettings>
#include <QStringList>
#include <QThread>

#include <algorithm>
#include <filesystem>

#include "base/xdg_dirs.h"

namespace velora {

namespace {

QString pathText(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// The search paths from the XDG folders, and a theme when Qt's platform theme names none
// (a bare window manager): the one GTK's settings name, as other desktop programs do.
void prepareThemeLookup() {
    static const bool prepared = [] {
        QStringList icons{pathText(xdgDataHome() / "icons"), pathText(homeDirectory() / ".icons")};
        QStringList pixmaps;
        for (const std::filesystem::path& dir : xdgDataDirs()) {
            icons << pathText(dir / "icons");
            pixmaps << pathText(dir / "pixmaps");
        }
        QIcon::setThemeSearchPaths(icons);
        QIcon::setFallbackSearchPaths(pixmaps);
        if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) {
            const QSettings gtk(pathText(xdgConfigHome() / "gtk-3.0" / "settings.ini"), QSettings::IniFormat);
            const QString named = gtk.value(QStringLiteral("Settings/gtk-icon-theme-name")).toString();
            if (!named.isEmpty()) QIcon::setThemeName(named);
        }
        return true;
    }();
    (void)prepared;
}

ImageRef imageOf(const QIcon& icon) {
    QList<QSize> sizes = icon.availableSizes();
    if (sizes.isEmpty()) sizes = {QSize(128, 128)}; // scalable only
    std::vector<QImage> reps;
    for (const QSize& size : sizes) {
        QImage rep = icon.pixmap(size, 1.0).toImage();
        if (!rep.isNull()) reps.push_back(rep.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
    if (reps.empty()) return nullptr;
    std::sort(reps.begin(), reps.end(),
              [](const QImage& a, const QImage& b) { return a.width() < b.width(); });
    const Size largest{double(reps.back().width()), double(reps.back().height())};
    return std::make_shared<Image>(std::move(reps), largest);
}

} // namespace

ImageRef themeIcon(const std::string& name) {
    const QCoreApplication* app = QCoreApplication::instance();
    if (name.empty() || !qobject_cast<const QGuiApplication*>(app) ||
        QThread::currentThread() != app->thread())
        return nullptr;
    std::error_code ec;
    if (std::filesystem::path(name).is_absolute())
        return std::filesystem::is_regular_file(name, ec) ? imageOf(QIcon(QString::fromStdString(name)))
                                                          : nullptr;
    if (name.find('/') != std::string::npos) return nullptr;
    prepareThemeLookup();
    const QIcon icon = QIcon::fromTheme(QString::fromStdString(name));
    return icon.isNull() ? nullptr : imageOf(icon);
}

} // namespace velora
