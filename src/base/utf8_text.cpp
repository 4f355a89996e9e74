#include "base/utf8_text.h"

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

namespace velora {

bool isValidUtf8(std::string_view text) {
    return QByteArrayView(text.data(), static_cast<qsizetype>(text.size())).isValidUtf8();
}

std::string repairUtf8(std::string_view bytes, bool cutShort) {
    // A stateful decoder keeps an unfinished sequence for input that never comes.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        cutShort ? QStringDecoder::Flag::Default : QStringDecoder::Flag::Stateless);
    return QString(utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())))).toStdString();
}

} // namespace velora
