#include "settings/decimal_text.h"

#include <charconv>
#include <limits>
#include <locale.h>
#include <stdlib.h>
#include <string>

namespace velora {

size_t parseDecimalInteger(std::string_view text, int64_t& value, bool& overflow) {
    overflow = false;
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const size_t digitsStart = i;
    uint64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const auto digit = static_cast<uint64_t>(text[i] - '0');
        if (magnitude > (std::numeric_limits<uint64_t>::max() - digit) / 10) {
            overflow = true;
        } else {
            magnitude = magnitude * 10 + digit;
        }
    }
    if (i == digitsStart) return 0;
    constexpr auto maxPositive = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (negative) {
        if (overflow || magnitude > maxPositive + 1) {
            overflow = true;
            value = std::numeric_limits<int64_t>::min();
        } else {
            value = magnitude == maxPositive + 1 ? std::numeric_limits<int64_t>::min()
                                                 : -static_cast<int64_t>(magnitude);
        }
    } else if (overflow || magnitude > maxPositive) {
        overflow = true;
        value = std::numeric_limits<int64_t>::max();
    } else {
        value = static_cast<int64_t>(magnitude);
    }
    return i;
}

size_t parseDecimalReal(std::string_view text, double& value) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::string_view rest = text.substr(i);
    // from_chars would also take "inf" and "nan"; only digits and a point start a number here.
    if (rest.empty() || !((rest[0] >= '0' && rest[0] <= '9') || rest[0] == '.')) return 0;
    double magnitude = 0.0;
    const auto [end, ec] =
        std::from_chars(rest.data(), rest.data() + rest.size(), magnitude, std::chars_format::general);
    if (ec == std::errc::invalid_argument) return 0;
    if (ec == std::errc::result_out_of_range) {
        // A well-formed number beyond the range: the C library rounds it to 0 or infinity.
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
        const std::string number(rest.data(), end);
        magnitude = strtod_l(number.c_str(), nullptr, cLocale);
    }
    value = negative ? -magnitude : magnitude;
    return i + static_cast<size_t>(end - rest.data());
}

} // namespace velora
