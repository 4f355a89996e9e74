#pragma once
// UTF-8 checks and repair over Qt's UTF-8 codec, for text that comes from outside (window
// properties, server answers).

#include <string>
#include <string_view>

namespace velora {

// Whether the bytes are well-formed UTF-8 (overlong forms, surrogates and code points above
// U+10FFFF are not).
bool isValidUtf8(std::string_view text);

// Valid UTF-8 from arbitrary bytes: each byte that is not part of a well-formed sequence
// becomes U+FFFD. With `cutShort` the bytes were cut off by a reader's limit, so an incomplete
// sequence at the very end is dropped instead of replaced.
std::string repairUtf8(std::string_view bytes, bool cutShort = false);

} // namespace velora
