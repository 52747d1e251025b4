#include "AppDelegate.h"

#include "AnswerText.h"
#include "PortalConfig.h"
#include "UrlSession.h"

std::shared_ptr<UrlTask> AppDelegate::sendPortalRequest(const QString &path,
                                                        std::optional<QString> body,
                                                        AnswerHandler onAnswer)
{
    asyncloopnowentered.store(1, std::memory_order_release);
    std::optional<QByteArray> bytes;
    if (body)
        bytes = body->toUtf8();
    const QUrl requestUrl(PortalConfig::baseUrl() + path);

    std::lock_guard lock(requestlock);
    _RequestURL.url = requestUrl;
    _RequestURL.cachePolicy = 0;
    _RequestURL.timeoutInterval = 60.0;
    _RequestURL.httpMethod = "POST";
    _RequestURL.httpBody = bytes;
    auto task = UrlSession::shared().dataTask(_RequestURL, [this, onAnswer](const UrlResponse &response) {
        if (!response.data)
            return;
        responsedata = answerText(*response.data);
        if (onAnswer)
            onAnswer(responsedata);
        asyncloopnowentered.store(0, std::memory_order_release);
    });
    task->resume();
    return task;
}

void AppDelegate::checkserver()
{
    servertask = sendPortalRequest(QStringLiteral("/adminportal/pdfserverchk.php"), std::nullopt,
                                   [this](const QString &answer) {
                                       sonline = leadingIntValue(answer);
                                   });
}

void AppDelegate::checkuser()
{
    usertask = sendPortalRequest(QStringLiteral("/adminportal/pdfuserchk.php"),
                                 QStringLiteral("user=") + user_global,
                                 [this](const QString &answer) { parselogindata(answer); });
}

void AppDelegate::checkbooks()
{
    const quint64 generation = bookgeneration.fetch_add(1) + 1;
    booktask = sendPortalRequest(QStringLiteral("/adminportal/pdfbookchk.php"),
                                 QStringLiteral("company=") + company_global
                                     + QStringLiteral("&categoryname=") + category_global,
                                 [this, generation](const QString &answer) {
                                     if (generation == bookgeneration.load())
                                         parsebookdata(answer);
                                 });
}

void AppDelegate::pdfstatusupdate(const QString &status)
{
    auto task = sendPortalRequest(QStringLiteral("/adminportal/pdfloginupdate.php"),
                                  QStringLiteral("user=") + user_global
                                      + QStringLiteral("&status=") + status,
                                  nullptr);
    std::lock_guard lock(requestlock);
    statustask = std::move(task);
}
