#pragma once
// Typed reads of accessibility attributes for the window model. Each gives none when the
// attribute cannot be read or holds another type; the error of the copy is reported through
// `error` when asked for (Success when the value was read but had another type).

#include <optional>
#include <string>
#include <vector>

#include "platform/accessibility.h"

namespace velora::axread {

template <typename T>
std::optional<T> value(const AXElement& element, const char* attribute, AXError* error = nullptr);

inline std::optional<std::string> string(const AXElement& e, const char* a, AXError* error = nullptr) {
    return value<std::string>(e, a, error);
}
inline std::optional<bool> boolean(const AXElement& e, const char* a, AXError* error = nullptr) {
    return value<bool>(e, a, error);
}
inline std::optional<AXElement> element(const AXElement& e, const char* a, AXError* error = nullptr) {
    auto v = value<AXElement>(e, a, error);
    if (v && v->isNull()) return std::nullopt;
    return v;
}
inline std::optional<std::vector<AXElement>> elements(const AXElement& e, const char* a,
                                                      AXError* error = nullptr) {
    return value<std::vector<AXElement>>(e, a, error);
}

} // namespace velora::axread
