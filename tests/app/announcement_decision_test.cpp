// Which answers of the announcement server count as an announcement text.
#include <gtest/gtest.h>

#include "app/announcement_decision.h"

namespace velora {
namespace {

TEST(AnnouncementDecision, OnlyShortCleanTextFromASuccessfulAnswer) {
    const std::string marked = std::string(kAnnouncementPrefix) + "news";
    EXPECT_EQ(announcementText(200, marked), marked);
    EXPECT_EQ(announcementText(299, marked), marked);
    for (long status : {0L, 199L, 300L, 404L, 500L, -1L}) EXPECT_FALSE(announcementText(status, marked)) << status;
    EXPECT_FALSE(announcementText(200, ""));
    // The cap is inclusive.
    std::string big = marked + std::string(kMaxAnnouncementBytes - marked.size(), 'x');
    EXPECT_TRUE(announcementText(200, big));
    EXPECT_FALSE(announcementText(200, big + "x"));
    // Binary data: broken UTF-8, or a NUL, which no settings file can keep in a seen record.
    EXPECT_FALSE(announcementText(200, marked + "\xff\xfe"));
    EXPECT_FALSE(announcementText(200, marked + std::string(1, '\0') + "tail"));
    // Markup and control characters are text like any other; the alert shows them literally.
    EXPECT_TRUE(announcementText(200, marked + "<b>bold</b>\x01\x1b[31m"));
}

TEST(AnnouncementDecision, TheMarkerDecidesAndEveryMarkerAndSpaceLeavesTheMessage) {
    EXPECT_TRUE(isAnnouncement("Announcement happenedqk58041:x"));
    EXPECT_FALSE(isAnnouncement("Announcement happenedqk5804:"));
    EXPECT_EQ(announcementMessage("Announcement happenedqk58041: one Announcement happenedqk58041: two"), "one two");
    EXPECT_EQ(announcementMessage("Announcement happenedqk58041:x"), "Announcement happenedqk58041:x");
}

} // namespace
} // namespace velora
