// Announcements fetched from a real HTTP server on the loopback interface.
#include <atomic>
#include <thread>

#include "app/announcements.h"
#include "app_fixture.h"
#include "platform/linux/curl_http.h"
#include "support/loopback_http_server.h"

namespace velora::test {
namespace {

const std::string kMarker = "Announcement happenedqk58041: ";
const std::string kPage = "/Announce.php";

class Announcements : public AppTest {
protected:
    Announcements() {
        ports = sim.ports();
        ports.http = &curl;
        installPlatform(&ports);
    }
    // One launch's check, on a thread of its own as the engine runs it.
    void check(long timeoutMs = 3000) {
        std::atomic<bool> done{false};
        std::thread fetch([&] {
            checkForAnnounce(server.url(kPage), timeoutMs);
            done = true;
        });
        EXPECT_TRUE(sim.pumpUntil([&] { return done.load(); }, 20.0));
        fetch.join();
    }
    // What the announcement page answers from now on.
    void answer(std::string body, int delaySeconds = 0) {
        server.setResponse(kPage, LoopbackHttpServer::Response(std::move(body)).delayedBy(delaySeconds));
    }
    std::vector<ShownAlert> announcements() const {
        std::vector<ShownAlert> out;
        for (const auto& a : alerts)
            if (a.title == "Announcement") out.push_back(a);
        return out;
    }

    CurlHttp curl;
    Platform ports;
    LoopbackHttpServer server;
};

TEST_F(Announcements, ShownOnceAsPlainTextAndRecordedUnderTheWholeText) {
    const std::string body = "Dear user,\n" + kMarker + "version <b>2</b> & more " + kMarker + "soon";
    answer(body);
    check();
    ASSERT_EQ(announcements().size(), 1u);
    ShownAlert a = announcements()[0];
    EXPECT_EQ(a.windowTitle, "Velora");
    EXPECT_EQ(a.text, "Dear user,\nversion <b>2</b> & more soon");
    EXPECT_TRUE(a.plainText);
    EXPECT_EQ(a.buttons, std::vector<std::string>{"Okay"});
    EXPECT_FALSE(a.hasSuppression);
    EXPECT_EQ(server.requests(), std::vector<std::string>{"GET /Announce.php HTTP/1.1"});
    EXPECT_TRUE(UserDefaults(dir / "defaults.plist").boolForKey(body));

    // The next launch: seen.
    check();
    EXPECT_EQ(announcements().size(), 1u);
    // One more space is another announcement.
    answer(body + " ");
    check();
    EXPECT_EQ(announcements().size(), 2u);
}

TEST_F(Announcements, TextWithoutTheMarkerIsIgnoredAndLeavesNoRecord) {
    answer("Announcement happened qk58041: nearly");
    check();
    EXPECT_TRUE(announcements().empty());
    EXPECT_TRUE(defaults().objectForKey("Announcement happened qk58041: nearly").isNone());
}

TEST_F(Announcements, MarkerWithoutASpaceStaysInTheMessage) {
    answer("Announcement happenedqk58041:tight");
    check();
    ASSERT_EQ(announcements().size(), 1u);
    EXPECT_EQ(announcements()[0].text, "Announcement happenedqk58041:tight");
}

TEST_F(Announcements, OversizedOrMalformedBodiesAreNoAnnouncement) {
    answer(kMarker + std::string(kMaxAnnouncementBytes, 'x'));
    check();
    answer(kMarker + "broken \xC3\x28 text");
    check();
    EXPECT_TRUE(announcements().empty());
}

TEST_F(Announcements, SlowServerGivesUpWithoutAnAlert) {
    answer(kMarker + "late", 10);
    check(300);
    EXPECT_TRUE(announcements().empty());
}

TEST_F(Announcements, SlowServerDoesNotHoldUpStartUp) {
    answer(kMarker + "late", 10);
    std::atomic<bool> finished{false};
    const std::string url = server.url(kPage);
    VLHandler::setAnnounceCheck([&finished, url] {
        checkForAnnounce(url, 2000);
        finished = true;
    });
    ASSERT_TRUE(startController());
    EXPECT_FALSE(finished.load());
    EXPECT_EQ(registered().size(), 6u);
    // The check still ends, without an alert.
    EXPECT_TRUE(sim.pumpUntil([&] { return finished.load(); }, 20.0));
    EXPECT_TRUE(announcements().empty());
}

} // namespace
} // namespace velora::test
