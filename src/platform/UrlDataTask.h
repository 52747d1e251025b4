#pragma once

#include "UrlTaskBase.h"

// A request with any method and an optional body. Every HTTP answer counts,
// error statuses included; only a transfer that brought no answer has no data.
class UrlDataTask : public UrlTaskBase
{
public:
    UrlDataTask(std::shared_ptr<UrlSessionWorker> worker, const UrlRequest &request,
                UrlSession::CompletionHandler completion);

protected:
    QNetworkReply *send(QNetworkAccessManager &manager) override;
    UrlResponse answer(QNetworkReply &reply) override;

private:
    const UrlRequest m_request;
};
