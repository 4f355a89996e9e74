// Announcements fetched from a real HTTP server on the loopback interface.
#include <atomic>
#include <thread>

#include "app/announcement_decision.h"
#include "app/announcements.h"
#include "app_fixture.h"
#include "platform/linux/qt_http.h"
#include "support/loopback_http_server.h"

namespace velora::test {
namespace {

const std::string kMarker = "Announcement happenedqk58041: ";
const std::string kPage = "/Announce.php";

using Response = LoopbackHttpServer::Response;

class Announcements : public AppTest {
  protected:
    Announcements() {
        ports = sim.ports();
        ports.http = &http;
        installPlatform(&ports);
        server.setResponse("/elsewhere", Response(kMarker + "followed a redirect")); // never shown
    }
    // One launch's check against what the page answers, on a thread of its own as the engine
    // runs it; the announcements it showed.
    std::vector<ShownAlert> check(Response response) {
        server.setResponse(kPage, std::move(response));
        const size_t before = alertsTitled("Announcement").size();
        std::atomic<bool> done{false};
        std::thread fetch([&] {
            checkForAnnounce(server.url(kPage), 3000);
            done = true;
        });
        EXPECT_TRUE(sim.pumpUntil([&] { return done.load(); }, 20.0));
        fetch.join();
        std::vector<ShownAlert> shown = alertsTitled("Announcement");
        return {shown.begin() + static_cast<long>(before), shown.end()};
    }

    QtHttp http;
    Platform ports;
    LoopbackHttpServer server;
};

TEST_F(Announcements, ShownOnceAsPlainTextAndRecordedUnderTheWholeText) {
    const std::string body = "Dear user,\n" + kMarker + "version <b>2</b> & more " + kMarker + "soon";
    std::vector<ShownAlert> shown = check(Response(body));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Dear user,\nversion <b>2</b> & more soon");
    EXPECT_TRUE(shown[0].plainText);
    EXPECT_TRUE(UserDefaults(dir / "defaults.plist").boolForKey(body));
    EXPECT_TRUE(check(Response(body)).empty()) << "seen at the next launch";
    EXPECT_EQ(check(Response(body + " ")).size(), 1u) << "one more space is another announcement";
}

// Only a successful, short text with the marker is an announcement; a slow server
// is given up on its own thread. (Broken UTF-8 and NUL bytes are the fuzz target's.)
TEST_F(Announcements, WhatTheServerAnswersDecidesWhetherAndWhatIsShown) {
    const struct {
        const char* what;
        Response response;
        std::optional<std::string> shown;
    } cases[] = {
        {"no marker", Response("Announcement happened qk58041: nearly"), std::nullopt},
        {"an error page", Response(kMarker + "missing", "404 Not Found"), std::nullopt},
        {"a redirect", Response(kMarker + "moved", "302 Found").header("Location: /elsewhere"), std::nullopt},
        {"over the size cap, without a length",
         Response(kMarker + std::string(kMaxAnnouncementBytes, 'x')).withoutLength(), std::nullopt},
        {"too slow", Response(kMarker + "late").delayedBy(10), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ShownAlert> shown = check(c.response);
        ASSERT_LE(shown.size(), 1u);
        EXPECT_EQ(shown.empty() ? std::nullopt : std::optional(shown[0].text), c.shown);
    }
    EXPECT_TRUE(defaults().objectForKey("Announcement happened qk58041: nearly").isNone());
}

} // namespace
} // namespace velora::test
