#pragma once

#include "UrlTaskBase.h"

namespace vk {

// A request with any method and an optional body. Every HTTP answer counts,
// error statuses included; only a transfer that brought no answer, or one
// larger than the limit, has no data.
class UrlDataTask : public UrlTaskBase
{
public:
    UrlDataTask(std::shared_ptr<UrlSessionWorker> worker, const UrlRequest &request,
                UrlSession::CompletionHandler completion, qint64 maxBytes);

protected:
    QNetworkReply *send(QNetworkAccessManager &manager) override;
    UrlResponse answer(QNetworkReply &reply) override;

private:
    // Moves what has arrived into the buffer; false, reading nothing, when it
    // would pass the limit.
    bool readAvailable(QNetworkReply &reply);
    QString tooLarge() const;

    const UrlRequest m_request;
    const qint64 m_maxBytes;

    // Worker thread only.
    QByteArray m_data;
};

} // namespace vk
