#pragma once
// A tiny HTTP server on 127.0.0.1 that answers every request with the body set by the test,
// optionally after a delay (a slow server). One connection at a time, on a thread of its own.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velora::test {

class AnnounceServer {
public:
    AnnounceServer() {
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
    ~AnnounceServer() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        stopped_.notify_all();
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
    }

    std::string url(const std::string& path = "/Announce.php") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    void setBody(std::string body) {
        std::lock_guard lock(mutex_);
        body_ = std::move(body);
    }
    void setDelaySeconds(int seconds) {
        std::lock_guard lock(mutex_);
        delaySeconds_ = seconds;
    }
    std::vector<std::string> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
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
        std::unique_lock lock(mutex_);
        requests_.push_back(request.substr(0, request.find("\r\n")));
        stopped_.wait_for(lock, std::chrono::seconds(delaySeconds_), [&] { return stopping_; });
        const std::string body = body_;
        lock.unlock();
        send(client, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
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
    bool stopping_ = false;
    std::string body_;
    int delaySeconds_ = 0;
    std::vector<std::string> requests_;
};

} // namespace velora::test
