#include "platform/x11/x11_icons.h"

#include <QImage>
#include <algorithm>

namespace velora::x11 {

namespace {

constexpr uint32_t kLargestSide = 1024;

ImageRef imageOf(std::vector<QImage> reps) {
    reps.erase(std::remove_if(reps.begin(), reps.end(), [](const QImage& i) { return i.isNull(); }),
               reps.end());
    if (reps.empty()) return nullptr;
    std::sort(reps.begin(), reps.end(),
              [](const QImage& a, const QImage& b) { return a.width() < b.width(); });
    const QImage& largest = reps.back();
    return std::make_shared<Image>(std::move(reps), Size{double(largest.width()), double(largest.height())});
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
            for (uint32_t x = 0; x < w; ++x)
                line[x] = data[i + 2 + std::size_t(y) * w + x];
        }
        reps.push_back(rep.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        i += 2 + count;
    }
    return imageOf(std::move(reps));
}

} // namespace velora::x11
