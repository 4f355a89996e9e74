#pragma once
// Window pictures through the Composite extension. The root's subwindows are redirected
// (automatically: the server still draws the screen) once at start and for good, and so is
// each managed client window itself, so that every client keeps its own contents, covered
// or off screen. For each shown client the backend names its pixmap and keeps it: the named
// pixmap shows the live contents while the client is viewable, and its last contents after
// it stops being viewable (minimised, on another desktop, its frame unmapped), until it is
// shown again or resized. Naming the client rather than its frame keeps the picture whole
// when a manager unmaps the client before its frame (fluxbox) or shrinks the frame for a
// minimise animation (openbox).
//
// Each redirected client also carries a Damage object that reports only the step from
// undamaged to damaged: the first drawing after a capture raises the window's contents
// version, and later drawings send nothing until the next capture repairs the damage. A
// window that redraws all the time so costs one event per capture, not one per drawing.

#include <xcb/xcb.h>

#include <QImage>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
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
    // Redirects one more window (a managed client) automatically and follows its drawing.
    void redirect(xcb_window_t window);
    // The response type of the Damage extension's notify event; 0 without the extension.
    uint8_t damageEvent() const { return damageEvent_.load(); }
    // A Damage notify for the window: its contents changed since the last capture.
    void damaged(xcb_window_t window);
    // Changes whenever the window's pixels may have changed; nullopt for a window whose
    // drawing is not followed.
    std::optional<uint64_t> contentsVersion(xcb_window_t window) const;

    // A window became viewable (again): its next naming is due whatever its size (event loop).
    void shown(xcb_window_t window);
    void hidden(xcb_window_t window);
    void gone(xcb_window_t window);
    // Whether a window of that size has no named pixmap of that size yet.
    bool needsNaming(xcb_window_t window, uint16_t width, uint16_t height) const;
    // Names the window's pixmap anew and keeps it; when the window is not viewable the
    // pixmap kept before stays.
    void keep(xcb_window_t window, uint16_t width, uint16_t height);
    // Every kept pixmap released (before the connection closes).
    void clear();

    // The window's pixels at the given size; null when there are none to be had.
    QImage capture(xcb_window_t window, Size size) const;

  private:
    struct Named {
        xcb_connection_t* c;
        xcb_pixmap_t pixmap;
        uint16_t width, height;
        ~Named();
    };
    QImage read(xcb_drawable_t drawable, uint16_t width, uint16_t height) const;

    xcb_connection_t* c_;
    xcb_window_t root_;
    mutable std::mutex mutex_;
    bool available_ = false;
    std::map<xcb_window_t, std::shared_ptr<const Named>> kept_; // window -> its last named pixmap
    std::set<xcb_window_t> stale_;                              // shown again since its pixmap was named
    struct Followed {
        uint32_t damage;  // the Damage object on the window
        uint64_t version; // contents version, from versions_
    };
    std::map<xcb_window_t, Followed> followed_;
    uint64_t versions_ = 0;
    std::atomic<uint8_t> damageEvent_{0};

    void changed(xcb_window_t window); // under mutex_
};

// An image of a ZPixmap reply's data (32 bits per pixel, least significant byte first);
// null for other depths and layouts.
QImage imageFromZPixmap(const uint8_t* data, std::size_t length, uint16_t width, uint16_t height,
                        uint8_t depth);

} // namespace velora::x11
