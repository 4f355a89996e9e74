#pragma once
// The file names a drag carries. Only text/uri-list counts, and of it only file URLs on this
// machine; their paths are decoded byte for byte, so names that are not valid UTF-8 reach
// the application that opens them unchanged.

#include <QByteArray>
#include <QMimeData>
#include <string>
#include <vector>

namespace velora {

inline constexpr const char* kUriListMimeType = "text/uri-list";

// The local paths of the file URLs in a text/uri-list (RFC 2483), in the list's order.
std::vector<std::string> filenamesFromUriList(const QByteArray& uriList);

// The local paths a drag offers; empty when it offers no file URLs.
std::vector<std::string> dropFilenames(const QMimeData* data);

} // namespace velora
