#include "settings/plist_xml_writer.h"

#include <plist/plist.h>

#include <cstdlib>
#include <locale.h>
#include <memory>

#include "base/utf8_text.h"

namespace velora {

namespace {

struct NodeFree {
    void operator()(void* node) const { plist_free(node); }
};
using Node = std::unique_ptr<void, NodeFree>;

// libplist formats reals with the C library, which follows the thread's locale; a "C" locale
// for the span of the write keeps the decimal point a point.
class CLocaleScope {
public:
    CLocaleScope() {
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
        if (cLocale) previous_ = uselocale(cLocale);
    }
    ~CLocaleScope() {
        if (previous_) uselocale(previous_);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t previous_ = locale_t{};
};

// Null for None and for values nested too deeply.
Node toNode(const PlistValue& value, int depth) {
    switch (value.type()) {
    case PlistValue::Type::None:
        return nullptr;
    case PlistValue::Type::Boolean:
        return Node(plist_new_bool(value.toBool() ? 1 : 0));
    case PlistValue::Type::Integer:
        // libplist keeps 64 bits and writes them signed.
        return Node(plist_new_uint(static_cast<uint64_t>(value.toInteger())));
    case PlistValue::Type::Real:
        return Node(plist_new_real(value.toReal()));
    case PlistValue::Type::String:
        return Node(plist_new_string(toStorableUtf8(*value.asString()).c_str()));
    case PlistValue::Type::Data: {
        const std::string& bytes = *value.asData();
        return Node(plist_new_data(bytes.data(), bytes.size()));
    }
    case PlistValue::Type::Array: {
        if (depth >= PlistValue::kMaxDepth) return nullptr;
        Node array(plist_new_array());
        for (const PlistValue& item : *value.asArray()) {
            if (item.isNone()) continue;
            Node child = toNode(item, depth + 1);
            if (!child) return nullptr;
            plist_array_append_item(array.get(), child.release());
        }
        return array;
    }
    case PlistValue::Type::Dictionary: {
        if (depth >= PlistValue::kMaxDepth) return nullptr;
        Node dict(plist_new_dict());
        for (const auto& [key, item] : *value.asDictionary()) {
            if (item.isNone()) continue;
            Node child = toNode(item, depth + 1);
            if (!child) return nullptr;
            plist_dict_set_item(dict.get(), toStorableUtf8(key).c_str(), child.release());
        }
        return dict;
    }
    }
    return nullptr;
}

} // namespace

std::string writePlistXml(const PlistValue& value) {
    const Node root = toNode(value, 0);
    if (!root) return {};
    CLocaleScope cLocale;
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    if (!xml) return {};
    std::string text(xml, length);
    plist_to_xml_free(xml);
    return text;
}

} // namespace velora
