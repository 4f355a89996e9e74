// The key-code table reader: any text is either refused with a reason or gives a table in
// which every key code has a name lookup that ends; a legacy table always gives a name
// unless it names the key "" itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "hotkeys/sg_key_codes_table.h"
#include "hotkeys/sg_key_combo.h"

namespace {
constexpr int16_t kProbes[] = {INT16_MIN, -2, -1, 0,   1,   36,  48,  50,  53,       65,
                               75,        82, 92, 122, 127, 128, 255, 256, INT16_MAX};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const std::optional<velora::PlistValue> table = velora::parseKeyCodesTable(text, &error);
    if (!table) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(table->asDictionary() != nullptr);
    for (const int16_t code : kProbes) {
        // Empty only where the table itself names the key "".
        const velora::PlistValue named = (*table)[std::to_string(code)];
        FUZZ_CHECK(!velora::SGKeyCombo::stringForKeyCodeInLegacyMap(code, *table).empty() ||
                   (named.asString() && named.asString()->empty()));
        (void)velora::SGKeyCombo::stringForKeyCodeInNewMap(code, *table);
    }
    return 0;
}
