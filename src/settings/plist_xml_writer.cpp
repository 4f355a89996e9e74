#include "settings/plist_xml_writer.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QXmlStreamWriter>

#include <charconv>
#include <cmath>

#include "settings/xml_text.h"

namespace velora {

namespace {

// Whether the value has an XML form: not None, and nested no deeper than kMaxDepth.
bool writable(const PlistValue& value, int depth) {
    switch (value.type()) {
    case PlistValue::Type::None:
        return false;
    case PlistValue::Type::Array:
        if (depth >= PlistValue::kMaxDepth) return false;
        for (const PlistValue& item : *value.asArray())
            if (!item.isNone() && !writable(item, depth + 1)) return false;
        return true;
    case PlistValue::Type::Dictionary:
        if (depth >= PlistValue::kMaxDepth) return false;
        for (const auto& [key, item] : *value.asDictionary())
            if (!item.isNone() && !writable(item, depth + 1)) return false;
        return true;
    default:
        return true;
    }
}

// Shortest text that reads back as the same double, whatever the locale.
QString realText(double value) {
    if (std::isnan(value)) return QStringLiteral("nan");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("+infinity") : QStringLiteral("-infinity");
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, static_cast<qsizetype>(result.ptr - buffer));
}

class Writer {
  public:
    explicit Writer(QByteArray* out) : xml_(out) {
        xml_.setAutoFormatting(true);
        xml_.setAutoFormattingIndent(-1); // one tab per level
    }

    void document(const PlistValue& value) {
        xml_.writeStartDocument();
        xml_.writeDTD(QStringLiteral("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                     "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">"));
        xml_.writeStartElement(QStringLiteral("plist"));
        xml_.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
        write(value);
        xml_.writeEndElement();
        xml_.writeEndDocument();
    }

  private:
    void write(const PlistValue& value) {
        switch (value.type()) {
        case PlistValue::Type::None:
            return;
        case PlistValue::Type::Boolean:
            xml_.writeEmptyElement(value.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
            return;
        case PlistValue::Type::Integer:
            xml_.writeTextElement(QStringLiteral("integer"), QString::number(value.toInteger()));
            return;
        case PlistValue::Type::Real:
            xml_.writeTextElement(QStringLiteral("real"), realText(value.toReal()));
            return;
        case PlistValue::Type::String:
            text(QStringLiteral("string"), *value.asString());
            return;
        case PlistValue::Type::Data: {
            const std::string& bytes = *value.asData();
            xml_.writeTextElement(
                QStringLiteral("data"),
                QString::fromLatin1(
                    QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toBase64()));
            return;
        }
        case PlistValue::Type::Array:
            xml_.writeStartElement(QStringLiteral("array"));
            for (const PlistValue& item : *value.asArray())
                write(item);
            xml_.writeEndElement();
            return;
        case PlistValue::Type::Dictionary:
            xml_.writeStartElement(QStringLiteral("dict"));
            for (const auto& [key, item] : *value.asDictionary()) {
                if (item.isNone()) continue;
                text(QStringLiteral("key"), key);
                write(item);
            }
            xml_.writeEndElement();
            return;
        }
    }

    // Text XML can hold: malformed UTF-8 and what XML 1.0 has no form for (NUL, the other
    // control characters, U+FFFE, U+FFFF) become U+FFFD. A carriage return is written as a
    // reference, since a reader turns a literal one into a line feed.
    // A leading U+FEFF is text like any other (QString::fromUtf8 would drop it as a byte order
    // mark, so a key starting with one came back as another key).
    void text(const QString& element, const std::string& raw) {
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
        QString value = utf8(QByteArrayView(raw.data(), static_cast<qsizetype>(raw.size())));
        replaceWhatXmlCannotHold(value);
        xml_.writeStartElement(element);
        qsizetype from = 0;
        for (qsizetype cr = value.indexOf(u'\r'); cr >= 0; cr = value.indexOf(u'\r', from)) {
            if (cr > from) xml_.writeCharacters(value.mid(from, cr - from));
            xml_.writeEntityReference(QStringLiteral("#13"));
            from = cr + 1;
        }
        if (from < value.size() || value.isEmpty()) xml_.writeCharacters(value.mid(from));
        xml_.writeEndElement();
    }

    QXmlStreamWriter xml_;
};

} // namespace

std::string writePlistXml(const PlistValue& value) {
    if (!writable(value, 0)) return {};
    QByteArray out;
    Writer(&out).document(value);
    return out.toStdString();
}

} // namespace velora
