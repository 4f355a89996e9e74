#include "platform/x11/x11_text.h"

#include <QString>

#include "base/utf8_text.h"

namespace velora::x11 {

namespace {

// The text without NUL bytes, cut to kMaxTextBytes at a character boundary.
std::string limited(std::string text) {
    std::erase(text, '\0');
    if (text.size() <= kMaxTextBytes) return text;
    std::size_t end = kMaxTextBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
    return text;
}

} // namespace

std::string repairUtf8(std::string_view bytes, bool truncated) {
    return limited(velora::repairUtf8(bytes, truncated));
}

std::string latin1ToUtf8(std::string_view bytes) {
    return limited(QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())).toStdString());
}

} // namespace velora::x11
