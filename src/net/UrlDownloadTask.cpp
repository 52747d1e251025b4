#include "UrlDownloadTask.h"

#include "UrlFailure.h"
#include "UrlLocalFile.h"
#include "UrlSessionWorker.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QThreadPool>

namespace vk {

UrlDownloadTask::UrlDownloadTask(std::shared_ptr<UrlSessionWorker> worker, const QUrl &url,
                                 UrlSession::ProgressHandler progress,
                                 UrlSession::CompletionHandler completion, qint64 maxBytes,
                                 int idleTimeoutMs)
    : UrlTaskBase(std::move(worker), "GET", url, std::move(completion))
    , m_url(url)
    , m_progress(std::move(progress))
    , m_maxBytes(qMax<qint64>(0, maxBytes))
    , m_idleTimeoutMs(qMax(1, idleTimeoutMs))
{
}

QNetworkReply *UrlDownloadTask::send(QNetworkAccessManager &manager)
{
    if (m_url.isLocalFile()) {
        // Off the network thread: a slow disk must not hold up the portal's requests.
        QThreadPool::globalInstance()->start(
            [self = std::static_pointer_cast<UrlDownloadTask>(shared_from_this())] {
                self->worker()->deliver(self, readLocalFile(self->m_url.toLocalFile(),
                                                            self->m_maxBytes));
            });
        return nullptr;
    }
    QNetworkRequest request(m_url);
    request.setTransferTimeout(m_idleTimeoutMs);
    request.setSslConfiguration(tlsConfiguration());
    QNetworkReply *reply = manager.get(request);
    watch(QObject::connect(reply, &QNetworkReply::metaDataChanged, reply,
                           [this, reply] { checkHeaders(*reply); }));
    watch(QObject::connect(reply, &QNetworkReply::readyRead, reply, [this, reply] {
        if (!readAvailable(*reply))
            abortWith(tooLarge());
    }));
    return reply;
}

void UrlDownloadTask::checkHeaders(QNetworkReply &reply)
{
    // An error page is no book: stop before its body arrives.
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400) {
        abortWith(QStringLiteral("HTTP %1").arg(status));
        return;
    }
    const QVariant length = reply.header(QNetworkRequest::ContentLengthHeader);
    if (!length.isValid())
        return;
    m_expected = length.toLongLong();
    if (m_expected > m_maxBytes) {
        abortWith(tooLarge());
        return;
    }
    // One allocation for the whole book when its size is announced.
    m_data.reserve(m_expected);
}

bool UrlDownloadTask::readAvailable(QNetworkReply &reply)
{
    const qint64 available = reply.bytesAvailable();
    if (available <= 0)
        return true;
    const qint64 received = m_data.size();
    if (received + available > m_maxBytes)
        return false;
    m_data.resize(received + available);
    const qint64 read = reply.read(m_data.data() + received, available);
    m_data.resize(received + qMax<qint64>(0, read));
    if (m_progress)
        m_progress(m_data.size(), m_expected);
    return true;
}

UrlResponse UrlDownloadTask::answer(QNetworkReply &reply)
{
    UrlResponse response;
    response.statusCode = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (response.statusCode >= 400) {
        response.error = QStringLiteral("HTTP %1").arg(response.statusCode);
        return response;
    }
    if (reply.error() != QNetworkReply::NoError) {
        response.error = transferFailure(reply);
        return response;
    }
    if (!readAvailable(reply)) {
        response.error = tooLarge();
        return response;
    }
    response.data = std::move(m_data);
    return response;
}

QString UrlDownloadTask::tooLarge() const
{
    return QStringLiteral("Larger than %1 bytes").arg(m_maxBytes);
}

} // namespace vk
