#include "UrlFailure.h"

#include <QNetworkReply>
#include <QStringList>

namespace vk {

namespace {
// Tokens are long; names of endpoints and files mostly are not.
constexpr qsizetype kLongSegment = 24;
constexpr qsizetype kSegmentShown = 6;
}

QString transferFailure(const QNetworkReply &reply)
{
    switch (reply.error()) {
    case QNetworkReply::OperationCanceledError: // Qt's own transfer timeout, in 6.4
    case QNetworkReply::TimeoutError:
        return QStringLiteral("Timed out");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("TLS refused: ") + reply.errorString();
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("Connection closed or reset by the server");
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("Connection refused");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("Host not found");
    case QNetworkReply::TooManyRedirectsError:
        return QStringLiteral("Too many redirects");
    case QNetworkReply::InsecureRedirectError:
        return QStringLiteral("Redirect to a less safe location refused");
    default:
        return reply.errorString();
    }
}

QString urlForLog(const QUrl &url)
{
    QStringList segments = url.path(QUrl::FullyEncoded).split(u'/');
    for (QString &segment : segments) {
        if (segment.size() > kLongSegment)
            segment = segment.left(kSegmentShown) + QStringLiteral("...");
    }
    QString shown = url.scheme() + QStringLiteral("://") + url.host(QUrl::FullyEncoded);
    if (url.port() >= 0)
        shown += u':' + QString::number(url.port());
    return shown + segments.join(u'/');
}

} // namespace vk
