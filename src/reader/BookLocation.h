#pragma once

#include <QString>
#include <QUrl>

namespace vk {

// Whether a book may be fetched from url: empty when it may, else the reason,
// naming the scheme. Only https protects the book on its way and keeps the
// portal from choosing a local file or an address on the reader's network;
// allowInsecure (tests, local trials) lets http and file through as well.
QString bookLocationRefusal(const QUrl &url, bool allowInsecure);

} // namespace vk
