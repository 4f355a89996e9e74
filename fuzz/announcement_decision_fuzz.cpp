// The announcement decision: whatever a server answers, an accepted text is short, valid
// UTF-8 and the answer itself; the alert's message keeps it valid UTF-8 and no longer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/announcement_decision.h"
#include "base/utf8_text.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte picks the status, the rest is the body.
    static constexpr long kStatuses[] = {200, 204, 299, 301, 404, 500, 0, -1, 199, 300};
    const long status = kStatuses[data[0] % (sizeof kStatuses / sizeof kStatuses[0])];
    const std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::optional<std::string> text = velora::announcementText(status, body);
    if (!text) return 0;
    FUZZ_CHECK(status >= 200 && status < 300);
    FUZZ_CHECK(*text == body && !text->empty() && text->size() <= velora::kMaxAnnouncementBytes);
    FUZZ_CHECK(velora::isValidUtf8(*text));
    FUZZ_CHECK(text->find('\0') == std::string::npos);
    if (!velora::isAnnouncement(*text)) return 0;
    const std::string message = velora::announcementMessage(*text);
    FUZZ_CHECK(message.size() <= text->size());
    FUZZ_CHECK(velora::isValidUtf8(message));
    return 0;
}
