#pragma once
// Ownership of what xcb hands out: replies, errors and events are malloc'ed and freed by the
// receiver. Every reply is taken through here so that errors (a window that vanished, a
// request the server refused) are freed too and read as "no reply".

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace velora::x11 {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

template <typename T> using XPtr = std::unique_ptr<T, FreeDeleter>;

// The reply of a request, or null when the request failed or the connection is gone.
template <typename Reply, typename Cookie>
XPtr<Reply> takeReply(xcb_connection_t* c, Cookie cookie,
                      Reply* (*replyFn)(xcb_connection_t*, Cookie, xcb_generic_error_t**)) {
    xcb_generic_error_t* error = nullptr;
    Reply* reply = replyFn(c, cookie, &error);
    std::free(error);
    return XPtr<Reply>(reply);
}

// Whether a checked request without a reply succeeded.
inline bool succeeded(xcb_connection_t* c, xcb_void_cookie_t cookie) {
    xcb_generic_error_t* error = xcb_request_check(c, cookie);
    const bool ok = error == nullptr;
    std::free(error);
    return ok;
}

} // namespace velora::x11
