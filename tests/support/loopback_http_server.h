#pragma once
// A real HTTP server on 127.0.0.1 for the tests of the HTTP client and of what is fetched
// through it. One connection at a time, on a thread of its own; each path answers with the
// response the test set for it, any other path with "500 Internal Server Error".

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

namespace velora::test {

class LoopbackHttpServer {
  public:
    struct Response {
        explicit Response(std::string text = {}, std::string statusLine = "200 OK")
            : status(std::move(statusLine)), body(std::move(text)) {}
        // An extra header, such as "Location: /ok".
        Response& header(const std::string& line) {
            headers += line + "\r\n";
            return *this;
        }
        // No Content-Length: the body ends when the connection closes.
        Response& withoutLength() {
            withLength = false;
            return *this;
        }
        // A slow server; the wait is cut short when the server stops.
        Response& delayedBy(int seconds) {
            delaySeconds = seconds;
            return *this;
        }

        std::string status;
        std::string body;
        std::string headers;
        bool withLength = true;
        int delaySeconds = 0;
    };

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
        thread_ = std::jthread([this](std::stop_token stop) { serve(stop); });
    }

    ~LoopbackHttpServer() {
        thread_.request_stop();           // ends a delayed answer
        ::shutdown(listener_, SHUT_RDWR); // ends the blocked accept
        thread_.join();
        ::close(listener_);
    }

    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

    void setResponse(const std::string& path, Response response) {
        std::lock_guard lock(mutex_);
        responses_[path] = std::move(response);
    }

  private:
    void serve(const std::stop_token& stop) {
        for (;;) {
            int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) return;
            handle(client, stop);
            ::close(client);
        }
    }

    void handle(int client, const std::stop_token& stop) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) return;
            request.append(buffer, size_t(n));
        }
        const std::string line = request.substr(0, request.find("\r\n"));
        std::string path = line.substr(line.find(' ') + 1);
        path = path.substr(0, path.find(' '));

        std::unique_lock lock(mutex_);
        Response response("", "500 Internal Server Error");
        if (auto found = responses_.find(path); found != responses_.end()) response = found->second;
        std::condition_variable_any().wait_for(lock, stop, std::chrono::seconds(response.delaySeconds),
                                               [] { return false; });
        lock.unlock();

        std::string head = "HTTP/1.1 " + response.status + "\r\n" + response.headers;
        if (response.withLength) head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
        // A blocking send returns once all is sent, or when the client has gone.
        const std::string data = head + "Connection: close\r\n\r\n" + response.body;
        ::send(client, data.data(), data.size(), MSG_NOSIGNAL);
    }

    int listener_ = -1;
    int port_ = 0;
    std::jthread thread_;
    std::mutex mutex_;
    std::map<std::string, Response> responses_; // guarded by mutex_
};

} // namespace velora::test
