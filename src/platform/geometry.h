#pragma once
// Plain geometry in points, top-left origin, y growing downwards (screen space of the
// accessibility tree and the window server).

#include <algorithm>
#include <cmath>

namespace velora {

struct Point {
    double x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0, height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// `size` scaled to fit into `box` with its proportions, never enlarged, whole points, at least
// one point each way; `size` itself when either has no area.
inline Size fittedSize(Size size, Size box) {
    if (box.width <= 0 || box.height <= 0 || size.width <= 0 || size.height <= 0) return size;
    const double scale = std::min({1.0, box.width / size.width, box.height / size.height});
    return Size{std::max(1.0, std::round(size.width * scale)),
                std::max(1.0, std::round(size.height * scale))};
}

// Equality is exact floating-point equality in all four values: the window matcher relies on it.
struct Rect {
    double x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

} // namespace velora
