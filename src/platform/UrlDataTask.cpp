#include "UrlDataTask.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <climits>
#include <cmath>

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

// Errors Qt raises only for an HTTP error status: the answer itself arrived whole.
bool isHttpStatusError(QNetworkReply::NetworkError error)
{
    return (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError
            && error != QNetworkReply::ContentReSendError)
        || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
}

}

UrlDataTask::UrlDataTask(std::shared_ptr<UrlSessionWorker> worker, const UrlRequest &request,
                         UrlSession::CompletionHandler completion)
    : UrlTaskBase(std::move(worker), std::move(completion))
    , m_request(request)
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
    if (!m_request.httpBody && (method == "GET" || method == "HEAD"))
        return manager.sendCustomRequest(request, method);
    if (m_request.httpBody)
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/x-www-form-urlencoded"));
    // Without data Qt sends a POST with no Content-Length at all; an empty body
    // makes it say "Content-Length: 0", which every server reads the same way.
    return manager.sendCustomRequest(request, method, m_request.httpBody.value_or(QByteArray()));
}

UrlResponse UrlDataTask::answer(QNetworkReply &reply)
{
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    UrlResponse response;
    response.statusCode = status.toInt();
    if (reply.error() == QNetworkReply::NoError
        || (status.isValid() && isHttpStatusError(reply.error())))
        response.data = reply.readAll();
    else
        response.error = failureText(reply);
    return response;
}
