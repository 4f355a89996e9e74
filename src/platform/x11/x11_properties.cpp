#include "platform/x11/x11_properties.h"

#include <cstring>

#include "platform/x11/x11_text.h"

namespace velora::x11 {

xcb_get_property_cookie_t requestProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
                                          uint32_t maxUnits) {
    return xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, maxUnits);
}

PropertyReply takeProperty(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
    return takeReply(c, cookie, xcb_get_property_reply);
}

std::vector<uint32_t> values32(const xcb_get_property_reply_t* reply) {
    if (!reply || reply->format != 32) return {};
    // The reply's length is checked by xcb; copy rather than alias its unaligned storage.
    const int n = xcb_get_property_value_length(reply) / 4;
    std::vector<uint32_t> out(std::size_t(n > 0 ? n : 0));
    if (n > 0) std::memcpy(out.data(), xcb_get_property_value(reply), std::size_t(n) * 4);
    return out;
}

bool firstValue32(const xcb_get_property_reply_t* reply, uint32_t& out) {
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply) < 4) return false;
    std::memcpy(&out, xcb_get_property_value(reply), 4);
    return true;
}

std::string_view bytes8(const xcb_get_property_reply_t* reply) {
    if (!reply || reply->format != 8) return {};
    const int n = xcb_get_property_value_length(reply);
    if (n <= 0) return {};
    return std::string_view(static_cast<const char*>(xcb_get_property_value(reply)), std::size_t(n));
}

std::string textValue(const xcb_get_property_reply_t* reply) {
    const std::string_view raw = bytes8(reply);
    if (raw.empty()) return {};
    const bool truncated = reply->bytes_after > 0;
    if (reply->type == XCB_ATOM_STRING) return latin1ToUtf8(raw);
    return repairUtf8(raw, truncated);
}

std::pair<std::string, std::string> classValue(const xcb_get_property_reply_t* reply) {
    const std::string_view raw = bytes8(reply);
    const std::size_t nul = raw.find('\0');
    if (nul == std::string_view::npos) return {latin1ToUtf8(raw), {}};
    std::string_view second = raw.substr(nul + 1);
    const std::size_t end = second.find('\0');
    if (end != std::string_view::npos) second = second.substr(0, end);
    return {latin1ToUtf8(raw.substr(0, nul)), latin1ToUtf8(second)};
}

} // namespace velora::x11
