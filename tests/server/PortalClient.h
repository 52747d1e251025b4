#pragma once

#include "PortalProcess.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QSslCertificate>

#include <memory>

struct HttpAnswer
{
    int status = 0;
    QByteArray body;
};

// The HTTPS side of the suites that talk to a running portal: certificate
// checks stay on, trusting one authority, so a wrong certificate fails a test.
class PortalClient
{
public:
    static constexpr int kGenerousMs = 60000;

    void trust(const QString &caPath)
    {
        m_ssl.addCaCertificates(QSslCertificate::fromPath(caPath));
    }

    // Not awaited: the caller owns the reply.
    QNetworkReply *start(const QString &url, const QByteArray &method, const QByteArray &body = {})
    {
        QNetworkRequest request{QUrl(url)};
        request.setSslConfiguration(m_ssl);
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/x-www-form-urlencoded"));
        return m_network.sendCustomRequest(request, method, body);
    }

    static HttpAnswer answerOf(QNetworkReply *reply)
    {
        if (!reply->isFinished())
            QSignalSpy(reply, &QNetworkReply::finished).wait(kGenerousMs);
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()};
    }

    HttpAnswer send(const QString &url, const QByteArray &method, const QByteArray &body = {})
    {
        const std::unique_ptr<QNetworkReply> reply(start(url, method, body));
        return answerOf(reply.get());
    }

    HttpAnswer post(const PortalProcess &portal, const QString &endpoint, const QByteArray &body = {})
    {
        return send(portal.url() + "/adminportal/" + endpoint, "POST", body);
    }

private:
    QNetworkAccessManager m_network;
    QSslConfiguration m_ssl = QSslConfiguration::defaultConfiguration();
};

// The company "Acme" and one reader of it, in category "K".
inline bool addReader(const PortalProcess &portal, const QString &email, const QString &password)
{
    return portal.admin({"company", "add", "--name", "Acme"}).exitCode == 0
        && portal.admin({"user", "add", "--email", email, "--company", "Acme", "--category", "K",
                         "--password", password}).exitCode == 0;
}
