#pragma once

#include "UrlTaskBase.h"

namespace vk {

// A GET of a whole file into one buffer. Only a complete transfer with a
// success status has data: an HTTP error status, too many bytes or a stalled
// transfer end without any.
class UrlDownloadTask : public UrlTaskBase
{
public:
    UrlDownloadTask(std::shared_ptr<UrlSessionWorker> worker, const QUrl &url,
                    UrlSession::ProgressHandler progress, UrlSession::CompletionHandler completion,
                    qint64 maxBytes, int idleTimeoutMs);

protected:
    QNetworkReply *send(QNetworkAccessManager &manager) override;
    UrlResponse answer(QNetworkReply &reply) override;

private:
    void checkHeaders(QNetworkReply &reply);
    // Moves what has arrived into the buffer; false, reading nothing, when it
    // would pass the limit.
    bool readAvailable(QNetworkReply &reply);
    QString tooLarge() const;

    const QUrl m_url;
    const UrlSession::ProgressHandler m_progress;
    const qint64 m_maxBytes;
    const int m_idleTimeoutMs;

    // Worker thread only.
    QByteArray m_data;
    qint64 m_expected = -1;
};

} // namespace vk
