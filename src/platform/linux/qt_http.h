#pragma once
// The HTTP port over Qt Network: a plain GET, one transfer per call, safe from any thread
// (each call runs its own network manager and event loop on the calling thread).
//
// - The proxy settings of the environment apply (http_proxy, no_proxy...).
// - Only http and https; redirects are not followed (a 3xx comes back as it is).
// - The time-out bounds the whole transfer, connection included; zero or less means none.
// - A body larger than maxBytes aborts the transfer (early, when the server announces its
//   length) and gives none, as do a status of 400 or more, a failed connection and a
//   time-out. Nothing throws.
//
// TLS is loaded by Qt only for an https address, so a plain-HTTP fetch keeps no TLS library
// in the process.

#include "platform/services.h"

namespace velora {

class QtHttp final : public HttpPort {
  public:
    QtHttp();
    std::optional<HttpResponse> get(const std::string& url, long timeoutMs, std::size_t maxBytes) override;
};

} // namespace velora
