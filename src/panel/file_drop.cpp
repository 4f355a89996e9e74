#include "panel/file_drop.h"

#include <QSysInfo>

namespace velora {

namespace {

bool isLocalHost(const QByteArray& host) {
    if (host.isEmpty() || host.compare("localhost", Qt::CaseInsensitive) == 0) return true;
    return host.compare(QSysInfo::machineHostName().toUtf8(), Qt::CaseInsensitive) == 0;
}

// The still percent-encoded path of a file URL on this machine; empty for anything else.
QByteArray encodedLocalPath(QByteArray url) {
    if (!url.left(5).toLower().startsWith("file:")) return {};
    url.remove(0, 5);
    // A query or fragment is not part of the path (a '#' or '?' in a name arrives encoded).
    qsizetype end = url.indexOf('?');
    qsizetype hash = url.indexOf('#');
    if (hash >= 0 && (end < 0 || hash < end)) end = hash;
    if (end >= 0) url.truncate(end);
    if (url.startsWith("//")) {
        qsizetype slash = url.indexOf('/', 2);
        QByteArray host = url.mid(2, slash < 0 ? -1 : slash - 2);
        if (!isLocalHost(host) || slash < 0) return {};
        url.remove(0, slash);
    }
    if (!url.startsWith('/')) return {};
    return url;
}

} // namespace

std::vector<std::string> filenamesFromUriList(const QByteArray& uriList) {
    std::vector<std::string> paths;
    for (QByteArray line : uriList.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        const QByteArray encoded = encodedLocalPath(line);
        if (encoded.isEmpty()) continue;
        const QByteArray path = QByteArray::fromPercentEncoding(encoded);
        paths.emplace_back(path.constData(), size_t(path.size()));
    }
    return paths;
}

std::vector<std::string> dropFilenames(const QMimeData* data) {
    if (!data || !data->hasFormat(QString::fromLatin1(kUriListMimeType))) return {};
    return filenamesFromUriList(data->data(QString::fromLatin1(kUriListMimeType)));
}

} // namespace velora
