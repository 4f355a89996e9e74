#pragma once
// Window pictures through the Composite extension. The root's subwindows are redirected
// (automatically: the server still draws the screen) once at start and for good, so every
// top-level window keeps its own contents, covered or off screen. For each shown frame (the
// root's child that holds a client) the backend names the frame's pixmap and keeps it: the
// named pixmap shows the live contents while the frame is shown, and its last contents after
// the frame is unmapped (minimised, on another desktop). A resized frame needs a new name; the
// event loop names it again only when the frame holds the whole client, so that a frame
// shrunk for a moment (a manager's minimise animation) does not replace a whole picture with
// a part of one.

#include <xcb/xcb.h>

#include <QImage>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "platform/geometry.h"

namespace velora::x11 {

class Pictures {
public:
    Pictures(xcb_connection_t* c, xcb_window_t root) : c_(c), root_(root) {}
    ~Pictures() { clear(); }
    Pictures(const Pictures&) = delete;
    Pictures& operator=(const Pictures&) = delete;

    // Redirects the root's subwindows; false when the server has no Composite 0.2.
    bool start();
    bool available() const;

    // A frame was shown or hidden (event loop).
    void frameShown(xcb_window_t frame);
    void frameHidden(xcb_window_t frame);
    // Whether a shown frame of that size has no pixmap of that size yet.
    bool needsNaming(xcb_window_t frame, uint16_t width, uint16_t height) const;
    // Names the shown frame's pixmap anew (its size as given) and keeps it.
    void keep(xcb_window_t frame, uint16_t width, uint16_t height);
    void frameGone(xcb_window_t frame);
    // Every kept pixmap released (before the connection closes).
    void clear();

    // The client's pixels at the given size; null when there are none to be had.
    QImage capture(xcb_window_t client, xcb_window_t frame, Size size) const;

private:
    struct Named {
        xcb_connection_t* c;
        xcb_pixmap_t pixmap;
        uint16_t width, height;
        ~Named();
    };
    void name(xcb_window_t frame, uint16_t width, uint16_t height);
    QImage read(xcb_drawable_t drawable, int16_t x, int16_t y, uint16_t width, uint16_t height) const;

    xcb_connection_t* c_;
    xcb_window_t root_;
    mutable std::mutex mutex_;
    bool available_ = false;
    std::map<xcb_window_t, std::shared_ptr<const Named>> kept_;  // frame -> its last named pixmap
    std::set<xcb_window_t> shown_;
    std::set<xcb_window_t> stale_;  // shown again since its pixmap was named
};

// An image of a ZPixmap reply's data (32 bits per pixel, least significant byte first);
// null for other depths and layouts.
QImage imageFromZPixmap(const uint8_t* data, std::size_t length, uint16_t width, uint16_t height, uint8_t depth);

} // namespace velora::x11
