#pragma once
// Numbers spelt in decimal, read the same whatever the process's locale.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velora {

// Reads an optional sign and decimal digits at the start of the text. Returns the number of
// characters read (0 when there are no digits). A magnitude beyond the 64-bit range saturates
// the value and sets overflow.
size_t parseDecimalInteger(std::string_view text, int64_t& value, bool& overflow);

// Reads an optional sign, digits, a fraction and an exponent at the start of the text
// ("-1.5e3", ".5"). Returns the number of characters read (0 when there is no number).
// A magnitude too large for a double reads as infinity, one too small as zero.
size_t parseDecimalReal(std::string_view text, double& value);

} // namespace velora
