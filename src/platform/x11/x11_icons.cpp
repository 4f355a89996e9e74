#include "platform/x11/x11_icons.h"

#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <filesystem>

#include "platform/linux/xdg_dirs.h"

namespace velora::x11 {

namespace {

constexpr uint32_t kLargestSide = 1024;

ImageRef imageOf(std::vector<QImage> reps) {
    reps.erase(std::remove_if(reps.begin(), reps.end(), [](const QImage& i) { return i.isNull(); }), reps.end());
    if (reps.empty()) return nullptr;
    std::sort(reps.begin(), reps.end(), [](const QImage& a, const QImage& b) { return a.width() < b.width(); });
    const QImage& largest = reps.back();
    return std::make_shared<Image>(std::move(reps), Size{double(largest.width()), double(largest.height())});
}

QImage load(const std::filesystem::path& path) {
    QImageReader reader(QString::fromStdString(path.string()));
    if (reader.format() == "svg" || path.extension() == ".svg") reader.setScaledSize(QSize(128, 128));
    return reader.read();
}

} // namespace

ImageRef iconFromNetWmIcon(const std::vector<uint32_t>& data) {
    std::vector<QImage> reps;
    std::size_t i = 0;
    while (i + 2 <= data.size()) {
        const uint32_t w = data[i], h = data[i + 1];
        if (w == 0 || h == 0 || w > kLargestSide || h > kLargestSide) break;
        const std::size_t count = std::size_t(w) * h;
        if (data.size() - i - 2 < count) break;
        QImage rep(int(w), int(h), QImage::Format_ARGB32);
        for (uint32_t y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<QRgb*>(rep.scanLine(int(y)));
            for (uint32_t x = 0; x < w; ++x) line[x] = data[i + 2 + std::size_t(y) * w + x];
        }
        reps.push_back(rep.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        i += 2 + count;
    }
    return imageOf(std::move(reps));
}

ImageRef iconFromTheme(const std::string& name) {
    namespace fs = std::filesystem;
    if (name.empty()) return nullptr;
    std::error_code ec;
    if (fs::path(name).is_absolute()) return fs::is_regular_file(name, ec) ? imageOf({load(name)}) : nullptr;
    if (name.find('/') != std::string::npos) return nullptr;

    std::vector<fs::path> roots{xdgDataHome()};
    for (const fs::path& d : xdgDataDirs()) roots.push_back(d);
    static const char* const kSizes[] = {"16x16", "22x22", "24x24", "32x32", "48x48", "64x64", "128x128", "256x256", "512x512"};
    std::vector<QImage> reps;
    for (const fs::path& root : roots) {
        for (const char* size : kSizes) {
            const fs::path file = root / "icons" / "hicolor" / size / "apps" / (name + ".png");
            if (fs::is_regular_file(file, ec)) reps.push_back(load(file));
        }
        if (!reps.empty()) return imageOf(std::move(reps));
        const fs::path scalable = root / "icons" / "hicolor" / "scalable" / "apps" / (name + ".svg");
        if (fs::is_regular_file(scalable, ec)) {
            if (ImageRef image = imageOf({load(scalable)})) return image;
        }
    }
    for (const fs::path& root : roots)
        for (const char* ext : {".png", ".xpm", ".svg"}) {
            const fs::path file = root / "pixmaps" / (name + ext);
            if (fs::is_regular_file(file, ec))
                if (ImageRef image = imageOf({load(file)})) return image;
        }
    return nullptr;
}

} // namespace velora::x11
