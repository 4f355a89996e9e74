#include "settings/plist_value.h"

#include <cmath>
#include <limits>

#include "settings/decimal_text.h"
#include "settings/plist_xml_reader.h"
#include "settings/plist_xml_writer.h"

namespace velora {

namespace {

struct DataBytes {
    std::string bytes;
    friend bool operator==(const DataBytes&, const DataBytes&) = default;
};

} // namespace

// Alternatives in the order of Type, less None (an empty storage pointer).
struct PlistValue::Storage {
    std::variant<bool, int64_t, double, std::string, DataBytes, Array, Dictionary> value;
};

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view skipLeadingSpace(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && isSpace(s[i]))
        ++i;
    return s.substr(i);
}

// A string's integer value: spaces, a sign, digits; saturated at the bounds; 0 without digits.
int64_t leadingInteger(std::string_view text) {
    int64_t value = 0;
    bool overflow = false;
    return parseDecimalInteger(skipLeadingSpace(text), value, overflow) ? value : 0;
}

// A string's real value: the leading decimal number after spaces, 0.0 without one.
double leadingReal(std::string_view text) {
    double value = 0.0;
    return parseDecimalReal(skipLeadingSpace(text), value) ? value : 0.0;
}

// A string's boolean value: spaces, a sign and leading zeros skipped, true on Y, y, T, t or a
// digit 1 to 9.
bool stringTruth(std::string_view text) {
    std::string_view s = skipLeadingSpace(text);
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) s.remove_prefix(1);
    while (!s.empty() && s[0] == '0')
        s.remove_prefix(1);
    if (s.empty()) return false;
    const char c = s[0];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

int64_t saturatingInteger(double d) {
    if (std::isnan(d)) return 0;
    constexpr double bound = 9223372036854775808.0; // 2^63
    if (d >= bound) return std::numeric_limits<int64_t>::max();
    if (d < -bound) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(d);
}

} // namespace

PlistValue::PlistValue(bool b) : storage_(std::make_shared<Storage>(Storage{b})) {}
PlistValue::PlistValue(int64_t v) : storage_(std::make_shared<Storage>(Storage{v})) {}
PlistValue::PlistValue(double v) : storage_(std::make_shared<Storage>(Storage{v})) {}
PlistValue::PlistValue(const char* s) {
    if (s) storage_ = std::make_shared<Storage>(Storage{std::string(s)});
}
PlistValue::PlistValue(std::string s) : storage_(std::make_shared<Storage>(Storage{std::move(s)})) {}
PlistValue::PlistValue(Array a) : storage_(std::make_shared<Storage>(Storage{std::move(a)})) {}
PlistValue::PlistValue(Dictionary d) : storage_(std::make_shared<Storage>(Storage{std::move(d)})) {}

PlistValue PlistValue::data(std::string bytes) {
    PlistValue v;
    v.storage_ = std::make_shared<Storage>(Storage{DataBytes{std::move(bytes)}});
    return v;
}

PlistValue::Type PlistValue::type() const {
    if (!storage_) return Type::None;
    switch (storage_->value.index()) {
    case 0:
        return Type::Boolean;
    case 1:
        return Type::Integer;
    case 2:
        return Type::Real;
    case 3:
        return Type::String;
    case 4:
        return Type::Data;
    case 5:
        return Type::Array;
    default:
        return Type::Dictionary;
    }
}

bool PlistValue::toBool() const {
    switch (type()) {
    case Type::Boolean:
        return std::get<bool>(storage_->value);
    case Type::Integer:
        return std::get<int64_t>(storage_->value) != 0;
    case Type::Real:
        return std::get<double>(storage_->value) != 0.0;
    case Type::String:
        return stringTruth(std::get<std::string>(storage_->value));
    default:
        return false;
    }
}

int64_t PlistValue::toInteger() const {
    switch (type()) {
    case Type::Boolean:
        return std::get<bool>(storage_->value) ? 1 : 0;
    case Type::Integer:
        return std::get<int64_t>(storage_->value);
    case Type::Real:
        return saturatingInteger(std::get<double>(storage_->value));
    case Type::String:
        return leadingInteger(std::get<std::string>(storage_->value));
    default:
        return 0;
    }
}

double PlistValue::toReal() const {
    switch (type()) {
    case Type::Boolean:
        return std::get<bool>(storage_->value) ? 1.0 : 0.0;
    case Type::Integer:
        return static_cast<double>(std::get<int64_t>(storage_->value));
    case Type::Real:
        return std::get<double>(storage_->value);
    case Type::String:
        return leadingReal(std::get<std::string>(storage_->value));
    default:
        return 0.0;
    }
}

const std::string* PlistValue::asString() const {
    return storage_ ? std::get_if<std::string>(&storage_->value) : nullptr;
}

const PlistValue::Array* PlistValue::asArray() const {
    return storage_ ? std::get_if<Array>(&storage_->value) : nullptr;
}

const PlistValue::Dictionary* PlistValue::asDictionary() const {
    return storage_ ? std::get_if<Dictionary>(&storage_->value) : nullptr;
}

const std::string* PlistValue::asData() const {
    if (!storage_) return nullptr;
    const auto* d = std::get_if<DataBytes>(&storage_->value);
    return d ? &d->bytes : nullptr;
}

PlistValue PlistValue::operator[](const std::string& key) const {
    const Dictionary* d = asDictionary();
    if (!d) return {};
    const auto it = d->find(key);
    return it == d->end() ? PlistValue{} : it->second;
}

bool operator==(const PlistValue& a, const PlistValue& b) {
    if (a.storage_ == b.storage_) return true;
    if (!a.storage_ || !b.storage_) return false;
    return a.storage_->value == b.storage_->value;
}

std::optional<PlistValue> PlistValue::fromXml(std::string_view text, std::string* error) {
    return readPlistXml(text, error);
}

std::string PlistValue::toXml() const {
    return writePlistXml(*this);
}

} // namespace velora
