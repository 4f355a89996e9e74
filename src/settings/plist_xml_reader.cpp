#include "settings/plist_xml_reader.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "settings/decimal_text.h"
#include "settings/xml_text.h"

namespace velora {

namespace {

using Token = QXmlStreamReader::TokenType;

bool isXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isXmlSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isXmlSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int daysInMonth(int64_t y, int64_t m) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

// The text as UTF-16 for the XML reader, or the line of the first fault.
std::optional<QString> decodedText(std::string_view text, std::string& reason, size_t& line) {
    const auto lineAt = [&](size_t at) {
        return 1 + static_cast<size_t>(
                       std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
    };
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    if (const size_t nul = text.find('\0'); nul != std::string_view::npos) {
        reason = "the text holds a NUL character";
        line = lineAt(nul);
        return std::nullopt;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    if (utf8.hasError()) {
        reason = "the text is not UTF-8";
        const qsizetype bad = decoded.indexOf(QChar::ReplacementCharacter);
        line = bad < 0 ? 1 : 1 + static_cast<size_t>(QStringView(decoded).left(bad).count(u'\n'));
        return std::nullopt;
    }
    replaceWhatXmlCannotHold(decoded);
    return decoded;
}

class Reader {
  public:
    explicit Reader(const QString& text) : xml_(text) { xml_.setNamespaceProcessing(false); }

    std::optional<PlistValue> read(std::string* error) {
        PlistValue value;
        if (document(value)) return value;
        if (error) *error = "line " + std::to_string(errorLine_) + ": " + error_;
        return std::nullopt;
    }

  private:
    bool document(PlistValue& value) {
        Token token = next();
        if (token != Token::StartElement)
            return token != Token::Invalid && fail("the text holds no property list");
        if (name() == "plist") {
            token = next();
            if (token == Token::EndElement) return fail("the property list holds no value");
            if (token != Token::StartElement || !parseValue(0, value)) return false;
            token = next();
            if (token == Token::StartElement) return fail("the property list holds more than one value");
            if (token != Token::EndElement) return false;
        } else if (!parseValue(0, value)) {
            return false;
        }
        // Reading to the end is what finds truncated text and trailing content.
        token = next();
        return token == Token::EndDocument ||
               (token != Token::Invalid && fail("text after the end of the property list"));
    }

    // The next element boundary, past whitespace, comments, processing instructions and the
    // document type. Text, unknown entities and malformed XML are faults (Invalid).
    Token next() {
        for (;;) {
            const Token token = xml_.readNext();
            switch (token) {
            case Token::StartElement:
            case Token::EndElement:
            case Token::EndDocument:
                return token;
            case Token::Characters:
                if (xml_.isWhitespace()) continue;
                fail("text outside of a value");
                return Token::Invalid;
            case Token::EntityReference:
                fail("unknown entity &" + xml_.name().toString().toStdString() + ";");
                return Token::Invalid;
            case Token::Invalid:
                fail(xml_.errorString().toStdString());
                return Token::Invalid;
            default:
                continue;
            }
        }
    }

    std::string name() const { return xml_.qualifiedName().toString().toStdString(); }

    // At a start tag: the value it holds, up to its end tag.
    bool parseValue(int depth, PlistValue& out) {
        const std::string n = name();
        if (n == "dict") return parseDictionary(depth, out);
        if (n == "array") return parseArray(depth, out);
        if (n == "key") return fail("<key> outside of a <dict>");
        const bool known = n == "string" || n == "true" || n == "false" || n == "integer" || n == "real" ||
                           n == "date" || n == "data";
        if (!known) return fail("unknown element <" + n + ">");
        const qint64 line = xml_.lineNumber();
        std::string text;
        if (!textContent(n, text)) return false;
        if (n == "string") {
            out = PlistValue(std::move(text));
            return true;
        }
        if (n == "true" || n == "false") {
            if (!trimmed(text).empty()) return failAt(line, "<" + n + "> holds text");
            out = PlistValue(n == "true");
            return true;
        }
        if (n == "integer") return integerValue(line, text, out);
        if (n == "real") return realValue(line, text, out);
        if (n == "date") return dateValue(line, text, out);
        return dataValue(line, text, out);
    }

    bool tooDeep(int depth) {
        if (depth < PlistValue::kMaxDepth) return false;
        fail("containers nested deeper than " + std::to_string(PlistValue::kMaxDepth) + " levels");
        return true;
    }

    bool parseDictionary(int depth, PlistValue& out) {
        if (tooDeep(depth)) return false;
        PlistValue::Dictionary dict;
        for (Token token = next(); token != Token::EndElement; token = next()) {
            if (token != Token::StartElement) return false;
            if (name() != "key") return fail("a <dict> member has no <key>");
            std::string key;
            if (!textContent("key", key)) return false;
            token = next();
            if (token == Token::EndElement) return fail("the key \"" + key + "\" has no value");
            PlistValue value;
            if (token != Token::StartElement || !parseValue(depth + 1, value)) return false;
            dict.insert_or_assign(std::move(key), std::move(value));
        }
        out = PlistValue(std::move(dict));
        return true;
    }

    bool parseArray(int depth, PlistValue& out) {
        if (tooDeep(depth)) return false;
        PlistValue::Array array;
        for (Token token = next(); token != Token::EndElement; token = next()) {
            PlistValue item;
            if (token != Token::StartElement || !parseValue(depth + 1, item)) return false;
            array.push_back(std::move(item));
        }
        out = PlistValue(std::move(array));
        return true;
    }

    // The character data of an element without children, up to and with its end tag.
    bool textContent(const std::string& element, std::string& out) {
        QString text;
        for (;;) {
            switch (xml_.readNext()) {
            case Token::Characters:
                text += xml_.text();
                break;
            case Token::EndElement:
                out = text.toStdString();
                return true;
            case Token::StartElement:
                return fail("an element inside <" + element + ">");
            case Token::EntityReference:
                return fail("unknown entity &" + xml_.name().toString().toStdString() + ";");
            case Token::Invalid:
                return fail(xml_.errorString().toStdString());
            default:
                break;
            }
        }
    }

    bool integerValue(qint64 line, std::string_view text, PlistValue& out) {
        const std::string_view t = trimmed(text);
        int64_t value = 0;
        bool overflow = false;
        size_t used = 0;
        const bool negative = !t.empty() && t[0] == '-';
        const size_t sign = !t.empty() && (t[0] == '-' || t[0] == '+') ? 1 : 0;
        if (t.substr(sign, 2) == "0x" || t.substr(sign, 2) == "0X") {
            const std::string_view digits = t.substr(sign + 2);
            uint64_t magnitude = 0;
            const auto [end, ec] =
                std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, 16);
            overflow = ec == std::errc::result_out_of_range ||
                       magnitude > (negative ? 0x8000000000000000ULL : 0x7FFFFFFFFFFFFFFFULL);
            if (!digits.empty() && ec != std::errc::invalid_argument)
                used = sign + 2 + static_cast<size_t>(end - digits.data());
            value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
        } else {
            used = parseDecimalInteger(t, value, overflow);
        }
        if (t.empty() || used != t.size())
            return failAt(line, "<integer> does not hold an integer: \"" + std::string(t) + "\"");
        if (overflow) return failAt(line, "<integer> out of the 64-bit range: " + std::string(t));
        out = PlistValue(value);
        return true;
    }

    bool realValue(qint64 line, std::string_view text, PlistValue& out) {
        const std::string_view t = trimmed(text);
        const bool negative = !t.empty() && t[0] == '-';
        const std::string_view unsigned_ = !t.empty() && (t[0] == '-' || t[0] == '+') ? t.substr(1) : t;
        if (equalsIgnoringCase(unsigned_, "inf") || equalsIgnoringCase(unsigned_, "infinity")) {
            out = PlistValue(negative ? -HUGE_VAL : HUGE_VAL);
            return true;
        }
        if (equalsIgnoringCase(t, "nan")) {
            out = PlistValue(std::numeric_limits<double>::quiet_NaN());
            return true;
        }
        double value = 0.0;
        if (t.empty() || parseDecimalReal(t, value) != t.size())
            return failAt(line, "<real> does not hold a number: \"" + std::string(t) + "\"");
        out = PlistValue(value);
        return true;
    }

    // YYYY-MM-DDTHH:MM:SS, an optional fraction, Z; read as seconds since 2001-01-01 UTC.
    bool dateValue(qint64 line, std::string_view text, PlistValue& out) {
        const std::string_view t = trimmed(text);
        const auto number = [&](size_t at, size_t len, int64_t& v) {
            if (at + len > t.size()) return false;
            v = 0;
            for (size_t i = at; i < at + len; ++i) {
                if (t[i] < '0' || t[i] > '9') return false;
                v = v * 10 + (t[i] - '0');
            }
            return true;
        };
        int64_t y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
        bool ok = t.size() >= 20 && number(0, 4, y) && t[4] == '-' && number(5, 2, mo) && t[7] == '-' &&
                  number(8, 2, d) && t[10] == 'T' && number(11, 2, h) && t[13] == ':' && number(14, 2, mi) &&
                  t[16] == ':' && number(17, 2, sec) && t.back() == 'Z';
        double fraction = 0.0;
        if (ok && t.size() > 20) {
            const std::string_view frac = t.substr(19, t.size() - 20);
            ok = frac.size() >= 2 && frac[0] == '.' && parseDecimalReal(frac, fraction) == frac.size();
        }
        ok = ok && mo >= 1 && mo <= 12 && d >= 1 && d <= daysInMonth(y, mo) && h <= 23 && mi <= 59 &&
             sec <= 60;
        if (!ok) return failAt(line, "<date> does not hold a date: \"" + std::string(t) + "\"");
        const int64_t days = daysFromCivil(y, mo, d) - daysFromCivil(2001, 1, 1);
        out = PlistValue(static_cast<double>(days * 86400 + h * 3600 + mi * 60 + sec) + fraction);
        return true;
    }

    // Base64, whitespace anywhere.
    bool dataValue(qint64 line, std::string_view text, PlistValue& out) {
        QByteArray compact;
        compact.reserve(static_cast<qsizetype>(text.size()));
        for (const char c : text)
            if (!isXmlSpace(c)) compact += c;
        const auto decoded = QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded || compact.size() % 4 == 1) return failAt(line, "<data> does not hold base64 text");
        out = PlistValue::data(decoded.decoded.toStdString());
        return true;
    }

    bool fail(std::string message) { return failAt(xml_.lineNumber(), std::move(message)); }
    bool failAt(qint64 line, std::string message) {
        if (error_.empty()) {
            error_ = std::move(message);
            errorLine_ = line;
        }
        return false;
    }

    QXmlStreamReader xml_;
    std::string error_;
    qint64 errorLine_ = 1;
};

} // namespace

std::optional<PlistValue> readPlistXml(std::string_view text, std::string* error) {
    std::string reason;
    size_t line = 1;
    const std::optional<QString> decoded = decodedText(text, reason, line);
    if (!decoded) {
        if (error) *error = "line " + std::to_string(line) + ": " + reason;
        return std::nullopt;
    }
    return Reader(*decoded).read(error);
}

} // namespace velora
