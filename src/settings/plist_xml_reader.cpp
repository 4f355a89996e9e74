#include "settings/plist_xml_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "settings/decimal_text.h"
#include "base/utf8_text.h"

namespace velora {

namespace {

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isXmlSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isXmlSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool isNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool isNameChar(char c) { return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
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

int base64Digit(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

struct Tag {
    std::string_view name;
    bool selfClosing = false;
    size_t start = 0; // offset of its '<'
};

class Reader {
public:
    explicit Reader(std::string_view text) : s_(text) {}

    std::optional<PlistValue> read(std::string* error) {
        PlistValue value;
        if (document(value)) return value;
        if (error) *error = "line " + std::to_string(lineAt(errorPos_)) + ": " + error_;
        return std::nullopt;
    }

private:
    bool document(PlistValue& value) {
        if (s_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
        if (const size_t bad = firstInvalidUtf8(s_); bad != std::string_view::npos)
            return failAt(bad, "the text is not UTF-8");
        if (const size_t nul = s_.find('\0'); nul != std::string_view::npos)
            return failAt(nul, "the text holds a NUL character");
        if (!skipMisc(true)) return false;
        if (atEnd()) return fail(s_.empty() ? "the text is empty" : "the text holds no property list");
        if (peek() != '<' || startsWith("</")) return fail("the text does not start with an element");

        Tag root;
        if (!startTag(root)) return false;
        if (root.name == "plist") {
            if (root.selfClosing) return fail("the property list holds no value");
            if (!skipMisc(false)) return false;
            if (atEnd()) return failAt(root.start, "the <plist> element is not closed");
            if (startsWith("</")) return fail("the property list holds no value");
            if (peek() != '<') return fail("text outside of a value");
            Tag tag;
            if (!startTag(tag) || !parseValue(tag, 0, value) || !skipMisc(false)) return false;
            if (atEnd()) return failAt(root.start, "the <plist> element is not closed");
            if (!startsWith("</"))
                return fail(peek() == '<' ? "the property list holds more than one value" : "text outside of a value");
            if (!endTag(root)) return false;
        } else if (!parseValue(root, 0, value)) {
            return false;
        }
        if (!skipMisc(true)) return false;
        if (!atEnd()) return fail("text after the end of the property list");
        return true;
    }

    // Whitespace, comments and (in the prolog and epilogue) processing instructions and the
    // document type declaration.
    bool skipMisc(bool outsideRoot) {
        for (;;) {
            while (!atEnd() && isXmlSpace(peek())) ++pos_;
            if (startsWith("<!--")) {
                if (!skipComment()) return false;
            } else if (outsideRoot && startsWith("<?")) {
                const size_t end = s_.find("?>", pos_ + 2);
                if (end == std::string_view::npos) return fail("a processing instruction is not closed");
                pos_ = end + 2;
            } else if (outsideRoot && startsWith("<!DOCTYPE")) {
                if (!skipDoctype()) return false;
            } else {
                return true;
            }
        }
    }

    bool skipComment() {
        const size_t end = s_.find("-->", pos_ + 4);
        if (end == std::string_view::npos) return fail("a comment is not closed");
        pos_ = end + 3;
        return true;
    }

    bool skipDoctype() {
        const size_t start = pos_;
        int brackets = 0;
        char quote = 0;
        for (pos_ += 9; !atEnd(); ++pos_) {
            const char c = peek();
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '[') {
                ++brackets;
            } else if (c == ']') {
                --brackets;
            } else if (c == '>' && brackets <= 0) {
                ++pos_;
                return true;
            }
        }
        return failAt(start, "the document type declaration is not closed");
    }

    bool name(std::string_view& out) {
        const size_t start = pos_;
        if (atEnd() || !isNameStart(peek())) return fail("an element name is missing");
        while (!atEnd() && isNameChar(peek())) ++pos_;
        out = s_.substr(start, pos_ - start);
        return true;
    }

    // At '<': the element's name and attributes up to its '>' or '/>'.
    bool startTag(Tag& tag) {
        tag.start = pos_;
        ++pos_;
        if (!name(tag.name)) return false;
        for (;;) {
            const size_t beforeSpace = pos_;
            while (!atEnd() && isXmlSpace(peek())) ++pos_;
            if (atEnd()) return failAt(tag.start, "the text ends inside a tag");
            if (peek() == '>') {
                ++pos_;
                return true;
            }
            if (startsWith("/>")) {
                pos_ += 2;
                tag.selfClosing = true;
                return true;
            }
            if (pos_ == beforeSpace) return fail("malformed tag");
            std::string_view attribute;
            if (!name(attribute)) return false;
            while (!atEnd() && isXmlSpace(peek())) ++pos_;
            if (atEnd() || peek() != '=') return fail("an attribute has no value");
            ++pos_;
            while (!atEnd() && isXmlSpace(peek())) ++pos_;
            if (atEnd() || (peek() != '"' && peek() != '\'')) return fail("an attribute value is not quoted");
            const char quote = peek();
            const size_t end = s_.find(quote, pos_ + 1);
            if (end == std::string_view::npos) return failAt(tag.start, "the text ends inside a tag");
            if (s_.substr(pos_, end - pos_).find('<') != std::string_view::npos)
                return fail("'<' in an attribute value");
            pos_ = end + 1;
        }
    }

    // At "</": the end tag of the given element.
    bool endTag(const Tag& open) {
        const size_t start = pos_;
        pos_ += 2;
        std::string_view closing;
        if (!name(closing)) return false;
        while (!atEnd() && isXmlSpace(peek())) ++pos_;
        if (atEnd() || peek() != '>') return failAt(start, "malformed end tag");
        ++pos_;
        if (closing != open.name)
            return failAt(start, "</" + std::string(closing) + "> where </" + std::string(open.name) +
                                     "> was expected");
        return true;
    }

    bool parseValue(const Tag& tag, int depth, PlistValue& out) {
        const std::string_view n = tag.name;
        if (n == "dict") return parseDictionary(tag, depth, out);
        if (n == "array") return parseArray(tag, depth, out);
        if (n == "string") {
            std::string text;
            if (!textContent(tag, text)) return false;
            out = PlistValue(std::move(text));
            return true;
        }
        if (n == "true" || n == "false") {
            if (!tag.selfClosing) {
                std::string text;
                if (!textContent(tag, text)) return false;
                if (!trimmed(text).empty()) return failAt(tag.start, "<" + std::string(n) + "> holds text");
            }
            out = PlistValue(n == "true");
            return true;
        }
        if (n == "integer" || n == "real" || n == "date" || n == "data") {
            std::string text;
            if (!textContent(tag, text)) return false;
            if (n == "integer") return integerValue(tag, text, out);
            if (n == "real") return realValue(tag, text, out);
            if (n == "date") return dateValue(tag, text, out);
            return dataValue(tag, text, out);
        }
        if (n == "key") return failAt(tag.start, "<key> outside of a <dict>");
        return failAt(tag.start, "unknown element <" + std::string(n) + ">");
    }

    bool tooDeep(const Tag& tag, int depth) {
        if (depth < PlistValue::kMaxDepth) return false;
        failAt(tag.start, "containers nested deeper than " + std::to_string(PlistValue::kMaxDepth) + " levels");
        return true;
    }

    bool parseDictionary(const Tag& tag, int depth, PlistValue& out) {
        if (tooDeep(tag, depth)) return false;
        PlistValue::Dictionary dict;
        if (!tag.selfClosing) {
            for (;;) {
                if (!skipMisc(false)) return false;
                if (atEnd()) return failAt(tag.start, "the <dict> element is not closed");
                if (startsWith("</")) {
                    if (!endTag(tag)) return false;
                    break;
                }
                if (peek() != '<') return fail("text outside of a value");
                Tag keyTag;
                if (!startTag(keyTag)) return false;
                if (keyTag.name != "key") return failAt(keyTag.start, "a <dict> member has no <key>");
                std::string key;
                if (!textContent(keyTag, key)) return false;
                if (!skipMisc(false)) return false;
                if (atEnd()) return failAt(tag.start, "the <dict> element is not closed");
                if (startsWith("</") || peek() != '<')
                    return failAt(keyTag.start, "the key \"" + key + "\" has no value");
                Tag valueTag;
                PlistValue value;
                if (!startTag(valueTag) || !parseValue(valueTag, depth + 1, value)) return false;
                dict.insert_or_assign(std::move(key), std::move(value));
            }
        }
        out = PlistValue(std::move(dict));
        return true;
    }

    bool parseArray(const Tag& tag, int depth, PlistValue& out) {
        if (tooDeep(tag, depth)) return false;
        PlistValue::Array array;
        if (!tag.selfClosing) {
            for (;;) {
                if (!skipMisc(false)) return false;
                if (atEnd()) return failAt(tag.start, "the <array> element is not closed");
                if (startsWith("</")) {
                    if (!endTag(tag)) return false;
                    break;
                }
                if (peek() != '<') return fail("text outside of a value");
                Tag itemTag;
                PlistValue item;
                if (!startTag(itemTag) || !parseValue(itemTag, depth + 1, item)) return false;
                array.push_back(std::move(item));
            }
        }
        out = PlistValue(std::move(array));
        return true;
    }

    // The character data of an element without children, up to and with its end tag.
    bool textContent(const Tag& tag, std::string& out) {
        if (tag.selfClosing) return true;
        for (;;) {
            const size_t next = s_.find_first_of("<&", pos_);
            if (next == std::string_view::npos) {
                pos_ = s_.size();
                return failAt(tag.start, "the <" + std::string(tag.name) + "> element is not closed");
            }
            out.append(s_.substr(pos_, next - pos_));
            pos_ = next;
            if (peek() == '&') {
                if (!reference(out)) return false;
            } else if (startsWith("</")) {
                return endTag(tag);
            } else if (startsWith("<![CDATA[")) {
                const size_t end = s_.find("]]>", pos_ + 9);
                if (end == std::string_view::npos) return fail("a CDATA section is not closed");
                out.append(s_.substr(pos_ + 9, end - pos_ - 9));
                pos_ = end + 3;
            } else if (startsWith("<!--")) {
                if (!skipComment()) return false;
            } else {
                return fail("an element inside <" + std::string(tag.name) + ">");
            }
        }
    }

    // At '&': an entity or character reference.
    bool reference(std::string& out) {
        const size_t semicolon = s_.find(';', pos_);
        if (semicolon == std::string_view::npos || semicolon - pos_ > 12)
            return fail("a character reference is not closed");
        const std::string_view ref = s_.substr(pos_ + 1, semicolon - pos_ - 1);
        char plain = 0;
        if (ref == "amp") plain = '&';
        else if (ref == "lt") plain = '<';
        else if (ref == "gt") plain = '>';
        else if (ref == "quot") plain = '"';
        else if (ref == "apos") plain = '\'';
        if (plain) {
            out += plain;
        } else {
            if (ref.size() < 2 || ref[0] != '#') return fail("unknown entity &" + std::string(ref) + ";");
            const bool hex = ref[1] == 'x';
            const std::string_view digits = ref.substr(hex ? 2 : 1);
            uint32_t cp = 0;
            const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
            if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || cp == 0 ||
                cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                return fail("invalid character reference &" + std::string(ref) + ";");
            appendUtf8(out, static_cast<char32_t>(cp));
        }
        pos_ = semicolon + 1;
        return true;
    }

    bool integerValue(const Tag& tag, std::string_view text, PlistValue& out) {
        const std::string_view t = trimmed(text);
        int64_t value = 0;
        bool overflow = false;
        size_t used = 0;
        const bool negative = !t.empty() && t[0] == '-';
        const size_t sign = !t.empty() && (t[0] == '-' || t[0] == '+') ? 1 : 0;
        if (t.substr(sign, 2) == "0x" || t.substr(sign, 2) == "0X") {
            const std::string_view digits = t.substr(sign + 2);
            uint64_t magnitude = 0;
            const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, 16);
            overflow = ec == std::errc::result_out_of_range ||
                       magnitude > (negative ? 0x8000000000000000ULL : 0x7FFFFFFFFFFFFFFFULL);
            if (!digits.empty() && ec != std::errc::invalid_argument)
                used = sign + 2 + static_cast<size_t>(end - digits.data());
            value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
        } else {
            used = parseDecimalInteger(t, value, overflow);
        }
        if (t.empty() || used != t.size())
            return failAt(tag.start, "<integer> does not hold an integer: \"" + std::string(t) + "\"");
        if (overflow) return failAt(tag.start, "<integer> out of the 64-bit range: " + std::string(t));
        out = PlistValue(value);
        return true;
    }

    bool realValue(const Tag& tag, std::string_view text, PlistValue& out) {
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
            return failAt(tag.start, "<real> does not hold a number: \"" + std::string(t) + "\"");
        out = PlistValue(value);
        return true;
    }

    // YYYY-MM-DDTHH:MM:SS, an optional fraction, Z.
    bool dateValue(const Tag& tag, std::string_view text, PlistValue& out) {
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
        ok = ok && mo >= 1 && mo <= 12 && d >= 1 && d <= daysInMonth(y, mo) && h <= 23 && mi <= 59 && sec <= 60;
        if (!ok) return failAt(tag.start, "<date> does not hold a date: \"" + std::string(t) + "\"");
        const int64_t days = daysFromCivil(y, mo, d) - daysFromCivil(2001, 1, 1);
        out = PlistValue(static_cast<double>(days * 86400 + h * 3600 + mi * 60 + sec) + fraction);
        return true;
    }

    bool dataValue(const Tag& tag, std::string_view text, PlistValue& out) {
        std::string bytes;
        bytes.reserve(text.size() / 4 * 3);
        uint32_t bits = 0;
        int count = 0;    // sextets in the current group
        int padding = 0;
        for (const char c : text) {
            if (isXmlSpace(c)) continue;
            if (c == '=') {
                ++padding;
                continue;
            }
            const int digit = base64Digit(c);
            if (digit < 0 || padding > 0) return failAt(tag.start, "<data> does not hold base64 text");
            bits = (bits << 6) | static_cast<uint32_t>(digit);
            if (++count == 4) {
                bytes += static_cast<char>((bits >> 16) & 0xFF);
                bytes += static_cast<char>((bits >> 8) & 0xFF);
                bytes += static_cast<char>(bits & 0xFF);
                bits = 0;
                count = 0;
            }
        }
        if (count == 1 || padding > 2) return failAt(tag.start, "<data> does not hold base64 text");
        if (count == 2) bytes += static_cast<char>((bits >> 4) & 0xFF);
        if (count == 3) {
            bytes += static_cast<char>((bits >> 10) & 0xFF);
            bytes += static_cast<char>((bits >> 2) & 0xFF);
        }
        out = PlistValue::data(std::move(bytes));
        return true;
    }

    bool atEnd() const { return pos_ >= s_.size(); }
    char peek() const { return s_[pos_]; }
    bool startsWith(std::string_view prefix) const { return s_.substr(pos_, prefix.size()) == prefix; }

    bool fail(std::string message) { return failAt(pos_, std::move(message)); }
    bool failAt(size_t at, std::string message) {
        if (error_.empty()) {
            error_ = std::move(message);
            errorPos_ = at;
        }
        return false;
    }

    size_t lineAt(size_t at) const {
        const std::string_view before = s_.substr(0, std::min(at, s_.size()));
        return 1 + static_cast<size_t>(std::count(before.begin(), before.end(), '\n'));
    }

    std::string_view s_;
    size_t pos_ = 0;
    std::string error_;
    size_t errorPos_ = 0;
};

} // namespace

std::optional<PlistValue> readPlistXml(std::string_view text, std::string* error) {
    return Reader(text).read(error);
}

} // namespace velora
