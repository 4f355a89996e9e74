#include "platform/linux/curl_http.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>

namespace velora {

namespace {

struct Body {
    std::string data;
    std::size_t maxBytes = 0;
};

// Returning less than offered makes curl abort the transfer.
size_t appendBody(char* bytes, size_t size, size_t count, void* userData) {
    auto* body = static_cast<Body*>(userData);
    size_t n = size * count;
    if (n > body->maxBytes - body->data.size()) return 0;
    try {
        body->data.append(bytes, n);
    } catch (...) {
        return 0;
    }
    return n;
}

struct EasyDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

} // namespace

CurlHttp::CurlHttp() {
    // curl_global_init is not safe to race with itself or with transfers; once per process,
    // never cleaned up (other users of libcurl in the process may still need it).
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::optional<HttpResponse> CurlHttp::get(const std::string& url, long timeoutMs, std::size_t maxBytes) {
    try {
        std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
        if (!curl) return std::nullopt;
        Body body;
        body.maxBytes = maxBytes;
        CURL* c = curl.get();
        bool ok = curl_easy_setopt(c, CURLOPT_URL, url.c_str()) == CURLE_OK;
        ok = ok && curl_easy_setopt(c, CURLOPT_HTTPGET, 1L) == CURLE_OK;
        ok = ok && curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
        ok = ok && curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK;
        // No signals: the only thread-safe way to time out name resolution.
        ok = ok && curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
        ok = ok && curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, timeoutMs > 0 ? timeoutMs : 0L) == CURLE_OK;
        ok = ok && curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(std::min<std::size_t>(
                                                                       maxBytes, INT64_MAX))) == CURLE_OK;
        ok = ok && curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, appendBody) == CURLE_OK;
        ok = ok && curl_easy_setopt(c, CURLOPT_WRITEDATA, &body) == CURLE_OK;
        if (!ok || curl_easy_perform(c) != CURLE_OK) return std::nullopt;

        long status = 0;
        if (curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) return std::nullopt;
        if (status <= 0 || status >= 400) return std::nullopt;
        return HttpResponse{status, std::move(body.data)};
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace velora
