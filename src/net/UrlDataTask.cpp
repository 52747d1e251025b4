#include "UrlDataTask.h"

#include "UrlFailure.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <climits>
#include <cmath>

namespace vk {

namespace {

// The cache policies of the request's value type, in their declared order.
QNetworkRequest::CacheLoadControl cacheLoadControl(int cachePolicy)
{
    switch (cachePolicy) {
    case 2: // use cached data, else load
        return QNetworkRequest::PreferCache;
    case 3: // use cached data, never load
        return QNetworkRequest::AlwaysCache;
    case 1: // reload ignoring local data
    case 4: // reload ignoring local and remote caches
    case 5: // reload, revalidating cached data
        return QNetworkRequest::AlwaysNetwork;
    default: // 0: the protocol's own rules
        return QNetworkRequest::PreferNetwork;
    }
}

int timeoutMilliseconds(double seconds)
{
    // Qt reads 0 as "never"; a non-positive or absurd interval gets the default.
    if (!(seconds > 0.0) || !std::isfinite(seconds))
        seconds = 60.0;
    return int(qBound(1.0, std::ceil(seconds * 1000.0), double(INT_MAX)));
}

// Qt turns an HTTP error status into an error code of its own (400 becomes
// ProtocolInvalidOperationError, 404 ContentNotFoundError, ...) while the page
// itself arrived whole. Only network-layer, proxy, resend and framing errors
// mean the answer is missing or cut short.
bool isWholeAnswer(const QNetworkReply &reply)
{
    const QNetworkReply::NetworkError error = reply.error();
    if (error == QNetworkReply::NoError)
        return true;
    return reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()
        && error >= QNetworkReply::ContentAccessDenied
        && error != QNetworkReply::ContentReSendError
        && error != QNetworkReply::ProtocolFailure;
}

}

UrlDataTask::UrlDataTask(std::shared_ptr<UrlSessionWorker> worker, const UrlRequest &request,
                         UrlSession::CompletionHandler completion, qint64 maxBytes)
    : UrlTaskBase(std::move(worker), request.httpMethod, request.url, std::move(completion))
    , m_request(request)
    , m_maxBytes(qMax<qint64>(0, maxBytes))
{
}

QNetworkReply *UrlDataTask::send(QNetworkAccessManager &manager)
{
    QNetworkRequest request(m_request.url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         cacheLoadControl(m_request.cachePolicy));
    request.setTransferTimeout(timeoutMilliseconds(m_request.timeoutInterval));
    request.setSslConfiguration(tlsConfiguration());
    const QByteArray &method = m_request.httpMethod;
    QNetworkReply *reply = nullptr;
    if (!m_request.httpBody && (method == "GET" || method == "HEAD")) {
        reply = manager.sendCustomRequest(request, method);
    } else {
        if (m_request.httpBody)
            request.setHeader(QNetworkRequest::ContentTypeHeader,
                              QByteArrayLiteral("application/x-www-form-urlencoded"));
        // Without data Qt sends a POST with no Content-Length at all; an empty body
        // makes it say "Content-Length: 0", which every server reads the same way.
        reply = manager.sendCustomRequest(request, method, m_request.httpBody.value_or(QByteArray()));
    }
    // The answer is taken as it arrives, so one that grows past the limit is
    // stopped there instead of piling up in the reply.
    watch(QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [this, reply] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > m_maxBytes)
            abortWith(tooLarge());
    }));
    watch(QObject::connect(reply, &QNetworkReply::readyRead, reply, [this, reply] {
        if (!readAvailable(*reply))
            abortWith(tooLarge());
    }));
    return reply;
}

bool UrlDataTask::readAvailable(QNetworkReply &reply)
{
    const qint64 available = reply.bytesAvailable();
    if (available <= 0)
        return true;
    if (m_data.size() + available > m_maxBytes)
        return false;
    m_data += reply.read(available);
    return true;
}

QString UrlDataTask::tooLarge() const
{
    return QStringLiteral("Answer larger than %1 bytes").arg(m_maxBytes);
}

UrlResponse UrlDataTask::answer(QNetworkReply &reply)
{
    UrlResponse response;
    response.statusCode = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!isWholeAnswer(reply)) {
        response.error = transferFailure(reply);
        return response;
    }
    if (!readAvailable(reply)) {
        response.error = tooLarge();
        return response;
    }
    response.data = std::exchange(m_data, {});
    return response;
}

} // namespace vk
