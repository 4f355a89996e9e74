#pragma once
// A property-list value: the typed values the user defaults, the key-code table and the
// stored key combinations are made of. Values are immutable once built and cheap to copy.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velora {

class PlistValue {
  public:
    enum class Type { None, Boolean, Integer, Real, String, Data, Array, Dictionary };
    using Array = std::vector<PlistValue>;
    // Keys in a fixed (sorted) order: the enumeration order every reader shares.
    using Dictionary = std::map<std::string, PlistValue>;

    PlistValue() = default;
    PlistValue(bool b);
    PlistValue(int v) : PlistValue(int64_t(v)) {}
    PlistValue(int64_t v);
    PlistValue(double v);
    PlistValue(const char* s);
    PlistValue(std::string s);
    PlistValue(Array a);
    PlistValue(Dictionary d);
    static PlistValue data(std::string bytes);

    Type type() const;
    bool isNone() const { return type() == Type::None; }

    // Reads in the manner of the user defaults: numbers convert between each other, strings
    // that spell a number or YES/NO/true/false convert, anything else reads as 0 / false.
    bool toBool() const;
    int64_t toInteger() const;
    double toReal() const;

    // Null when the value is not of that type.
    const std::string* asString() const;
    const Array* asArray() const;
    const Dictionary* asDictionary() const;
    const std::string* asData() const;

    // Dictionary member, or None.
    PlistValue operator[](const std::string& key) const;

    // Same type and same contents: the integer 1, the real 1.0 and true are three values.
    friend bool operator==(const PlistValue&, const PlistValue&);

    // XML property-list text. Parsing refuses damaged or truncated text (none, with a reason).
    // A <date> reads as a Real: seconds since 2001-01-01 00:00:00 UTC.
    static std::optional<PlistValue> fromXml(std::string_view text, std::string* error = nullptr);
    // Empty when the value has no XML form: None itself, or nesting deeper than kMaxDepth.
    // None members of arrays and dictionaries are left out; text that is not well-formed
    // UTF-8, and NUL characters, are written as U+FFFD.
    std::string toXml() const;

    // The deepest nesting of arrays and dictionaries that XML text may have.
    static constexpr int kMaxDepth = 512;

  private:
    struct Storage;
    std::shared_ptr<const Storage> storage_;
};

} // namespace velora
