#include "UrlSession.h"

#include "UrlDataTask.h"
#include "UrlDownloadTask.h"
#include "UrlSessionWorker.h"

namespace vk {

struct UrlSession::Private
{
    std::shared_ptr<UrlSessionWorker> worker = std::make_shared<UrlSessionWorker>();
};

UrlSession &UrlSession::shared()
{
    // Never destroyed: the program ends with _Exit while requests may be in flight.
    static UrlSession *const session = new UrlSession;
    return *session;
}

UrlSession::UrlSession()
    : d(std::make_unique<Private>())
{
}

UrlSession::~UrlSession()
{
    d->worker->stop();
}

void UrlSession::setExtraCaCertificates(const QList<QSslCertificate> &certificates)
{
    UrlSessionWorker::setExtraCaCertificates(certificates);
}

std::shared_ptr<UrlTask> UrlSession::dataTask(const UrlRequest &request,
                                              CompletionHandler completion, qint64 maxBytes)
{
    return std::make_shared<UrlDataTask>(d->worker, request, std::move(completion), maxBytes);
}

std::shared_ptr<UrlTask> UrlSession::downloadTask(const QUrl &url, ProgressHandler progress,
                                                  CompletionHandler completion, qint64 maxBytes,
                                                  int idleTimeoutMs)
{
    return std::make_shared<UrlDownloadTask>(d->worker, url, std::move(progress),
                                             std::move(completion), maxBytes, idleTimeoutMs);
}

} // namespace vk
