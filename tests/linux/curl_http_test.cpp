#include "platform/linux/curl_http.h"

#include <gtest/gtest.h>
#include <thread>

#include "linux_test_support.h"
#include "support/loopback_http_server.h"

namespace velora {
namespace {

// A proxy in the environment of the test run must not take the loopback requests.
class CurlHttpTest : public ::testing::Test {
protected:
    test::ScopedEnv noProxy{"no_proxy", "127.0.0.1"};
    test::ScopedEnv noProxyUpper{"NO_PROXY", "127.0.0.1"};
    CurlHttpTest() {
        const std::string big(64 * 1024, 'x');
        using Response = test::LoopbackHttpServer::Response;
        server.setResponse("/ok", Response("hello"));
        server.setResponse("/Announce.php", Response("announced"));
        server.setResponse("/missing", Response("no such page", "404 Not Found"));
        server.setResponse("/redirect", Response("moved", "302 Found").header("Location: /ok"));
        server.setResponse("/slow", Response("late").delayedBy(10));
        server.setResponse("/big", Response(big));
        server.setResponse("/big-unsized", Response(big).withoutLength());
    }

    test::LoopbackHttpServer server;
    CurlHttp http;
};

TEST_F(CurlHttpTest, PlainGetReturnsStatusAndBody) {
    auto response = http.get(server.url("/Announce.php"), 5000, 1024);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
    EXPECT_EQ(response->body, "announced");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0], "GET /Announce.php HTTP/1.1");
}

TEST_F(CurlHttpTest, ErrorStatusGivesNone) {
    EXPECT_FALSE(http.get(server.url("/missing"), 5000, 1024));
    EXPECT_FALSE(http.get(server.url("/anything-else"), 5000, 1024)); // 500
}

TEST_F(CurlHttpTest, RedirectIsReturnedNotFollowed) {
    auto response = http.get(server.url("/redirect"), 5000, 1024);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 302);
    EXPECT_EQ(response->body, "moved");
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(CurlHttpTest, BodyOverTheCapGivesNoneWithOrWithoutALength) {
    EXPECT_FALSE(http.get(server.url("/big"), 5000, 1000));
    EXPECT_FALSE(http.get(server.url("/big-unsized"), 5000, 1000));
    auto exact = http.get(server.url("/big-unsized"), 5000, 64 * 1024);
    ASSERT_TRUE(exact);
    EXPECT_EQ(exact->body.size(), 64u * 1024);
    EXPECT_FALSE(http.get(server.url("/ok"), 5000, 4)); // "hello" is five bytes
    EXPECT_TRUE(http.get(server.url("/ok"), 5000, 5));
}

TEST_F(CurlHttpTest, SlowServerRunsIntoTheTimeOut) {
    EXPECT_FALSE(http.get(server.url("/slow"), 200, 1024));
}

TEST_F(CurlHttpTest, UnreachableOrMalformedTargetsGiveNone) {
    EXPECT_FALSE(http.get(
        "http://127.0.0.1:" + std::to_string(test::LoopbackHttpServer::refusedPort()) + "/ok", 5000, 1024));
    EXPECT_FALSE(http.get("not a url", 5000, 1024));
    EXPECT_FALSE(http.get("file:///etc/hostname", 5000, 1024)); // only http and https
    EXPECT_FALSE(http.get("", 5000, 1024));
}

TEST_F(CurlHttpTest, TransfersFromSeveralThreadsAtOnce) {
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            CurlHttp own;
            for (int i = 0; i < 5; ++i) {
                auto r = own.get(server.url("/ok"), 5000, 1024);
                if (r && r->body == "hello") ++good;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(good, 20);
}

} // namespace
} // namespace velora
