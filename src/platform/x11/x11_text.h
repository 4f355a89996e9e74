#pragma once
// Text read from window properties, made safe to hand on: titles and class names come from
// other programs and may be huge, cut short by the read limit, or not UTF-8 at all.

#include <cstddef>
#include <string>
#include <string_view>

namespace velora::x11 {

// Longest text kept from one property, in bytes.
inline constexpr std::size_t kMaxTextBytes = 4096;

// Valid UTF-8 from arbitrary bytes: each invalid sequence becomes U+FFFD, NUL bytes are
// dropped, and the result is at most kMaxTextBytes long, cut at a character boundary. When
// `truncated` is set the bytes were cut short by the reader, so an incomplete sequence at the
// very end is dropped rather than replaced.
std::string repairUtf8(std::string_view bytes, bool truncated = false);

// ISO 8859-1 (the STRING property type) to UTF-8, with the same limits.
std::string latin1ToUtf8(std::string_view bytes);

} // namespace velora::x11
