#pragma once
// Reading window properties: requests, and the values of their replies as lists of 32-bit
// values, bytes or text. A missing property, a vanished window or a reply of the wrong format
// reads as empty.

#include <xcb/xcb.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/x11/x11_atoms.h"
#include "platform/x11/x11_reply.h"

namespace velora::x11 {

using PropertyReply = XPtr<xcb_get_property_reply_t>;

// Units of 32 bits read at most for lists (client lists, atoms) and for icons.
inline constexpr uint32_t kMaxListUnits = 65536;
inline constexpr uint32_t kMaxIconUnits = 1u << 20;

xcb_get_property_cookie_t requestProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
                                          uint32_t maxUnits = kMaxListUnits);
PropertyReply takeProperty(xcb_connection_t* c, xcb_get_property_cookie_t cookie);

// The values of a format-32 property (windows, atoms, cardinals).
std::vector<uint32_t> values32(const xcb_get_property_reply_t* reply);
// The first value of a format-32 property.
bool firstValue32(const xcb_get_property_reply_t* reply, uint32_t& out);
// The bytes of a format-8 property.
std::string_view bytes8(const xcb_get_property_reply_t* reply);
// Text of a format-8 property as valid UTF-8: UTF8_STRING repaired, STRING from ISO 8859-1,
// anything else taken as UTF-8 and repaired (COMPOUND_TEXT in its ASCII subset).
std::string textValue(const xcb_get_property_reply_t* reply);
// WM_CLASS: the instance and the class name.
std::pair<std::string, std::string> classValue(const xcb_get_property_reply_t* reply);

} // namespace velora::x11
