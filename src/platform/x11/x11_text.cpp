#include "platform/x11/x11_text.h"

namespace velora::x11 {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Appends unless the limit would be passed; false once the text is full.
bool append(std::string& out, std::string_view piece) {
    if (out.size() + piece.size() > kMaxTextBytes) return false;
    out.append(piece);
    return true;
}

// Length of the valid UTF-8 sequence starting at i, 0 when it is invalid, -1 when it is
// incomplete because the bytes end inside it.
int sequenceLength(std::string_view s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    int length = 0;
    unsigned char min2 = 0x80, max2 = 0xBF;  // the allowed range of the second byte
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) min2 = 0xA0;       // no overlong forms
        if (lead == 0xED) max2 = 0x9F;       // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) min2 = 0x90;
        if (lead == 0xF4) max2 = 0x8F;       // nothing above U+10FFFF
    } else {
        return 0;
    }
    for (int k = 1; k < length; ++k) {
        if (i + std::size_t(k) >= s.size()) return -1;
        const unsigned char b = byte(i + std::size_t(k));
        const unsigned char lo = k == 1 ? min2 : 0x80, hi = k == 1 ? max2 : 0xBF;
        if (b < lo || b > hi) return 0;
    }
    return length;
}

} // namespace

std::string repairUtf8(std::string_view bytes, bool truncated) {
    std::string out;
    out.reserve(bytes.size() < kMaxTextBytes ? bytes.size() : kMaxTextBytes);
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (bytes[i] == '\0') {
            ++i;
            continue;
        }
        const int length = sequenceLength(bytes, i);
        if (length < 0 && truncated) break;
        if (length <= 0) {
            if (!append(out, kReplacement)) break;
            ++i;
            continue;
        }
        if (!append(out, bytes.substr(i, std::size_t(length)))) break;
        i += std::size_t(length);
    }
    return out;
}

std::string latin1ToUtf8(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0) continue;
        char encoded[2];
        std::size_t n = 1;
        if (b < 0x80) {
            encoded[0] = c;
        } else {
            encoded[0] = static_cast<char>(0xC0 | (b >> 6));
            encoded[1] = static_cast<char>(0x80 | (b & 0x3F));
            n = 2;
        }
        if (!append(out, std::string_view(encoded, n))) break;
    }
    return out;
}

} // namespace velora::x11
