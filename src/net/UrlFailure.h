#pragma once

#include <QString>
#include <QUrl>

class QNetworkReply;

namespace vk {

// Why a transfer brought no answer, in a few words a log reader can tell apart:
// the TLS refusal, a reset, a refused connection, a timeout, a redirect loop.
QString transferFailure(const QNetworkReply &reply);

// A URL fit for the log: no user, password, query or fragment, and every long
// path segment (a book's token) cut to its first characters.
QString urlForLog(const QUrl &url);

} // namespace vk
