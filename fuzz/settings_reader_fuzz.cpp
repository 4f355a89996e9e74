// The settings file reader: any bytes either give a value or a reason, never a crash or a
// hang; what was read can be written, and what was written reads back as the same file.
// A settings file that reads but cannot be written back would lose every setting at the next
// start, when the written file is set aside as damaged.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "settings/plist_value.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const std::optional<velora::PlistValue> value = velora::PlistValue::fromXml(text, &error);
    if (!value) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    const std::string written = value->toXml();
    FUZZ_CHECK(!written.empty());
    std::string again;
    const std::optional<velora::PlistValue> reread = velora::PlistValue::fromXml(written, &again);
    if (!reread) std::fprintf(stderr, "written text does not read back: %s\n", again.c_str());
    FUZZ_CHECK(reread.has_value());
    // Writing repairs text that cannot be stored once; after that the form is fixed.
    FUZZ_CHECK(reread->toXml() == written);
    // Typed reads of whatever is there never fail.
    if (const auto* dict = reread->asDictionary())
        for (const auto& [key, member] : *dict) {
            (void)member.toInteger();
            (void)member.toReal();
            (void)member.toBool();
        }
    return 0;
}
