#include "model/ax_read.h"

#include "platform/geometry.h"
#include "platform/platform.h"

namespace velora::axread {

template <typename T>
std::optional<T> value(const AXElement& element, const char* attribute, AXError* error) {
    AXValue out;
    AXError result = element.isNull() ? AXError::IllegalArgument
                                      : accessibility().copyAttributeValue(element, attribute, out);
    if (error) *error = result;
    if (result != AXError::Success) return std::nullopt;
    if (T* typed = std::get_if<T>(&out)) return std::move(*typed);
    return std::nullopt;
}

template std::optional<std::string> value(const AXElement&, const char*, AXError*);
template std::optional<bool> value(const AXElement&, const char*, AXError*);
template std::optional<AXElement> value(const AXElement&, const char*, AXError*);
template std::optional<std::vector<AXElement>> value(const AXElement&, const char*, AXError*);
template std::optional<Point> value(const AXElement&, const char*, AXError*);
template std::optional<Size> value(const AXElement&, const char*, AXError*);

} // namespace velora::axread
