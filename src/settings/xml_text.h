#pragma once
// Characters XML 1.0 has no form for, in any encoding or as references: the control
// characters other than tab, line feed and carriage return, and U+FFFE and U+FFFF. The
// settings writer never writes them and the reader takes older files that hold them.

#include <QString>

namespace velora {

inline bool xmlCanHold(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x20) return u == u'\t' || u == u'\n' || u == u'\r';
    return u != 0xFFFE && u != 0xFFFF;
}

// Each character XML cannot hold becomes U+FFFD.
inline void replaceWhatXmlCannotHold(QString& text) {
    for (QChar& c : text)
        if (!xmlCanHold(c)) c = QChar::ReplacementCharacter;
}

} // namespace velora
