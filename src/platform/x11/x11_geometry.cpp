#include "platform/x11/x11_geometry.h"

#include "platform/x11/x11_reply.h"

namespace velora::x11 {

std::vector<std::optional<WindowPlace>> windowPlaces(xcb_connection_t* c, xcb_window_t root,
                                                     const std::vector<xcb_window_t>& windows) {
    struct Cookies {
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t origin;
        xcb_get_window_attributes_cookie_t attributes;
    };
    std::vector<Cookies> cookies;
    cookies.reserve(windows.size());
    for (xcb_window_t w : windows)
        cookies.push_back({xcb_get_geometry(c, w), xcb_translate_coordinates(c, w, root, 0, 0),
                           xcb_get_window_attributes(c, w)});
    std::vector<std::optional<WindowPlace>> out;
    out.reserve(windows.size());
    for (const Cookies& k : cookies) {
        auto geometry = takeReply(c, k.geometry, xcb_get_geometry_reply);
        auto origin = takeReply(c, k.origin, xcb_translate_coordinates_reply);
        auto attributes = takeReply(c, k.attributes, xcb_get_window_attributes_reply);
        if (!geometry || !origin || !attributes) {
            out.emplace_back();
            continue;
        }
        WindowPlace place;
        place.bounds = Rect{double(origin->dst_x), double(origin->dst_y), double(geometry->width),
                            double(geometry->height)};
        place.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        out.push_back(place);
    }
    return out;
}

std::optional<WindowPlace> windowPlace(xcb_connection_t* c, xcb_window_t root, xcb_window_t window) {
    return windowPlaces(c, root, {window}).front();
}

} // namespace velora::x11
