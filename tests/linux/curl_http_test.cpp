#include "platform/linux/curl_http.h"

#include <gtest/gtest.h>
#include <thread>

#include "linux_test_support.h"
#include "support/loopback_http_server.h"

namespace velora {
namespace {

using Response = test::LoopbackHttpServer::Response;

// A proxy in the environment of the test run must not take the loopback requests.
class CurlHttpTest : public ::testing::Test {
protected:
    test::ScopedEnv noProxy{"no_proxy", "127.0.0.1"};
    test::ScopedEnv noProxyUpper{"NO_PROXY", "127.0.0.1"};
    test::LoopbackHttpServer server;
    CurlHttp http;
};

TEST_F(CurlHttpTest, OneRequestPerGetAndRedirectsAreReturnedNotFollowed) {
    server.setResponse("/Announce.php", Response("announced"));
    server.setResponse("/missing", Response("no such page", "404 Not Found"));
    server.setResponse("/redirect", Response("moved", "302 Found").header("Location: /Announce.php"));
    auto ok = http.get(server.url("/Announce.php"), 5000, 1024);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->status, 200);
    EXPECT_EQ(ok->body, "announced");
    auto moved = http.get(server.url("/redirect"), 5000, 1024);
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->status, 302);
    EXPECT_EQ(moved->body, "moved");
    EXPECT_EQ(server.requests(),
              (std::vector<std::string>{"GET /Announce.php HTTP/1.1", "GET /redirect HTTP/1.1"}));
    EXPECT_FALSE(http.get(server.url("/missing"), 5000, 1024));
    EXPECT_FALSE(http.get(server.url("/anything-else"), 5000, 1024)); // 500
}

TEST_F(CurlHttpTest, OversizedSlowUnreachableOrMalformedGiveNone) {
    const std::string big(64 * 1024, 'x');
    server.setResponse("/big", Response(big));
    server.setResponse("/big-unsized", Response(big).withoutLength());
    EXPECT_FALSE(http.get(server.url("/big"), 5000, big.size() - 1));
    EXPECT_FALSE(http.get(server.url("/big-unsized"), 5000, big.size() - 1));
    EXPECT_EQ(http.get(server.url("/big-unsized"), 5000, big.size()).value_or(HttpResponse{}).body, big);
    server.setResponse("/slow", Response("late").delayedBy(10));
    EXPECT_FALSE(http.get(server.url("/slow"), 200, 1024));
    const std::string refused = std::to_string(test::LoopbackHttpServer::refusedPort());
    EXPECT_FALSE(http.get("http://127.0.0.1:" + refused + "/ok", 5000, 1024));
    EXPECT_FALSE(http.get("not a url", 5000, 1024));
    EXPECT_FALSE(http.get("file:///etc/hostname", 5000, 1024)); // only http and https
}

TEST_F(CurlHttpTest, TransfersFromSeveralThreadsAtOnce) {
    server.setResponse("/ok", Response("hello"));
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            CurlHttp own;
            for (int i = 0; i < 5; ++i)
                if (auto r = own.get(server.url("/ok"), 5000, 1024); r && r->body == "hello") ++good;
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(good, 20);
}

} // namespace
} // namespace velora
