#pragma once
// UTF-8 checks shared by the property-list reader and writer.

#include <cstdint>
#include <string>
#include <string_view>

namespace velora {

// The offset of the first byte that is not part of well-formed UTF-8 (overlong forms,
// surrogates and code points above U+10FFFF count as malformed), or npos.
size_t firstInvalidUtf8(std::string_view text);

// The text with each malformed sequence and each NUL replaced by U+FFFD, so that it can be
// written to a file that is read back as text.
std::string toStorableUtf8(std::string_view text);

// Appends the UTF-8 form of a code point (which must be a valid scalar value).
void appendUtf8(std::string& out, char32_t codePoint);

} // namespace velora
