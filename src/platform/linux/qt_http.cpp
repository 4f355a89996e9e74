#include "platform/linux/qt_http.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <mutex>

namespace velora {

QtHttp::QtHttp() {
    static std::once_flag once;
    std::call_once(once, [] { QNetworkProxyFactory::setUseSystemConfiguration(true); });
}

std::optional<HttpResponse> QtHttp::get(const std::string& url, long timeoutMs, std::size_t maxBytes) {
    try {
        const QUrl address(QString::fromStdString(url), QUrl::StrictMode);
        const QString scheme = address.scheme().toLower();
        if (!address.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
            return std::nullopt;
        QNetworkAccessManager manager;
        QNetworkRequest request(address);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        std::unique_ptr<QNetworkReply> reply(manager.get(request));
        QByteArray body;
        bool failed = false;
        QEventLoop loop;
        auto fail = [&] {
            failed = true;
            reply->abort();
        };
        QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
            const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
            if (length.isValid() && length.toULongLong() > maxBytes) fail();
        });
        QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
            const QByteArray more = reply->readAll();
            if (std::size_t(body.size()) + std::size_t(more.size()) > maxBytes) return fail();
            body.append(more);
        });
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, fail);
        if (timeoutMs > 0) timer.start(int(std::min<long>(timeoutMs, INT32_MAX)));
        if (!reply->isFinished()) loop.exec();
        if (failed) return std::nullopt;
        const QByteArray rest = reply->readAll();
        if (std::size_t(body.size()) + std::size_t(rest.size()) > maxBytes) return std::nullopt;
        body.append(rest);
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        // Transport failures give no status; HTTP errors (4xx, 5xx) are refused here too.
        if (status <= 0 || status >= 400) return std::nullopt;
        if (reply->error() != QNetworkReply::NoError && status < 300) return std::nullopt;
        return HttpResponse{long(status), body.toStdString()};
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace velora
