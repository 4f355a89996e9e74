#pragma once
// Plain geometry in points, top-left origin, y growing downwards (screen space of the
// accessibility tree and the window server).

namespace velora {

struct Point {
    double x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0, height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// Equality is exact floating-point equality in all four values: the window matcher relies on it.
struct Rect {
    double x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

} // namespace velora
