#include "panel/screen_choice.h"

#include <algorithm>
#include <cmath>

namespace velora {

namespace {

double overlapArea(const Rect& a, const Rect& b) {
    const double w = std::min(a.x + a.width, b.x + b.width) - std::max(a.x, b.x);
    const double h = std::min(a.y + a.height, b.y + b.height) - std::max(a.y, b.y);
    return w > 0 && h > 0 ? w * h : 0;
}

bool valid(int index, const std::vector<Rect>& screens) {
    return index >= 0 && std::size_t(index) < screens.size();
}

} // namespace

int chooseScreen(const std::vector<Rect>& screens, const std::optional<Rect>& window, int pointerScreen,
                 int primary) {
    if (window) {
        int best = -1;
        double bestArea = 0;
        for (std::size_t i = 0; i < screens.size(); ++i) {
            const double area = overlapArea(screens[i], *window);
            if (area > bestArea) {
                bestArea = area;
                best = int(i);
            }
        }
        if (best >= 0) return best;
    }
    if (valid(pointerScreen, screens)) return pointerScreen;
    return valid(primary, screens) ? primary : 0;
}

Rect centeredInside(const Rect& area, Size size) {
    const double width = std::min(size.width, area.width), height = std::min(size.height, area.height);
    // Whole pixels: a half-pixel offset would blur every edge the panel draws.
    return Rect{area.x + std::floor((area.width - width) / 2),
                area.y + std::floor((area.height - height) / 2), width, height};
}

} // namespace velora
