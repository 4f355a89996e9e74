#pragma once
// A tiny HTTP server on 127.0.0.1 for the HTTP client tests, one connection at a time on a
// thread of its own. Paths:
//   /ok            200, body "hello"
//   /Announce.php  200, body "announced"
//   /missing       404 with a body
//   /redirect      302 to /ok
//   /slow          answers only after ten seconds (or when the server stops)
//   /big           200 with a 64 KiB body and its Content-Length
//   /big-unsized   200 with a 64 KiB body and no length (ended by closing the connection)

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velora::test {

class LoopbackHttpServer {
public:
    LoopbackHttpServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 8);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }

    ~LoopbackHttpServer() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        stopped_.notify_all();
        ::shutdown(listener_, SHUT_RDWR); // ends the blocked accept
        thread_.join();
        ::close(listener_);
    }

    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

    // The request lines received so far.
    std::vector<std::string> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }

    // A port on which nothing listens.
    static int refusedPort() {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        ::close(fd);
        return ntohs(address.sin_port);
    }

private:
    void serve() {
        for (;;) {
            int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) return;
            handle(client);
            ::close(client);
        }
    }

    void handle(int client) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) return;
            request.append(buffer, size_t(n));
        }
        std::string line = request.substr(0, request.find("\r\n"));
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(line);
        }
        std::string path = line.substr(line.find(' ') + 1);
        path = path.substr(0, path.find(' '));
        std::string big(64 * 1024, 'x');
        if (path == "/ok") {
            reply(client, "200 OK", "hello");
        } else if (path == "/Announce.php") {
            reply(client, "200 OK", "announced");
        } else if (path == "/missing") {
            reply(client, "404 Not Found", "no such page");
        } else if (path == "/redirect") {
            send(
                client,
                "HTTP/1.1 302 Found\r\nLocation: /ok\r\nContent-Length: 5\r\nConnection: close\r\n\r\nmoved");
        } else if (path == "/slow") {
            std::unique_lock lock(mutex_);
            stopped_.wait_for(lock, std::chrono::seconds(10), [&] { return stopping_; });
            lock.unlock();
            reply(client, "200 OK", "late");
        } else if (path == "/big") {
            reply(client, "200 OK", big);
        } else if (path == "/big-unsized") {
            send(client, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + big);
        } else {
            reply(client, "500 Internal Server Error", "");
        }
    }

    static void reply(int client, const std::string& status, const std::string& body) {
        send(client, "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
                         "\r\nConnection: close\r\n\r\n" + body);
    }

    static void send(int client, const std::string& data) {
        size_t sent = 0;
        while (sent < data.size()) {
            ssize_t n = ::send(client, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += size_t(n);
        }
    }

    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;             // guarded by mutex_
    std::vector<std::string> requests_; // guarded by mutex_
};

} // namespace velora::test
