#include "PortalProcess.h"

#include <QDeadlineTimer>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QSslCertificate>

namespace {

const int generousMs = 60000;

} // namespace

PortalProcess::~PortalProcess()
{
    stop();
}

int PortalProcess::run(const QStringList &args, QByteArray *output, QByteArray *errors)
{
    QProcess process;
    process.start(QStringLiteral(VELKARN_PORTAL_BIN), args);
    if (!process.waitForFinished(generousMs) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (output)
        *output = process.readAllStandardOutput();
    if (errors)
        *errors = process.readAllStandardError();
    return process.exitCode();
}

bool PortalProcess::start(const QStringList &args)
{
    _process.start(QStringLiteral(VELKARN_PORTAL_BIN), QStringList{QStringLiteral("serve")} + args);
    const QDeadlineTimer deadline(generousMs);
    while (!_process.canReadLine() && _process.state() != QProcess::NotRunning && !deadline.hasExpired())
        _process.waitForReadyRead(int(deadline.remainingTime()));
    const QString line = QString::fromUtf8(_process.readLine()).trimmed();
    const QString prefix = QStringLiteral("listening on ");
    if (!line.startsWith(prefix))
        return false;
    _url = line.mid(prefix.size());
    return true;
}

int PortalProcess::stop()
{
    if (_process.state() == QProcess::NotRunning)
        return _process.exitCode();
    _process.terminate();
    if (!_process.waitForFinished(generousMs)) {
        _process.kill();
        _process.waitForFinished();
        return -1;
    }
    return _process.exitStatus() == QProcess::NormalExit ? _process.exitCode() : -1;
}

QByteArray PortalProcess::errors()
{
    return _process.readAllStandardError();
}

TrustingClient::TrustingClient(const QString &caFile)
    : _ssl(QSslConfiguration::defaultConfiguration())
{
    _ssl.addCaCertificates(QSslCertificate::fromPath(caFile));
}

HttpReply TrustingClient::post(const QString &url, const QByteArray &body)
{
    QNetworkRequest request{QUrl(url)};
    request.setSslConfiguration(_ssl);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    return wait(_manager.post(request, body));
}

HttpReply TrustingClient::get(const QString &url)
{
    QNetworkRequest request{QUrl(url)};
    request.setSslConfiguration(_ssl);
    return wait(_manager.get(request));
}

HttpReply TrustingClient::wait(QNetworkReply *reply)
{
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!reply->isFinished())
        finished.wait(generousMs);
    HttpReply result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->readAll();
    if (reply->error() != QNetworkReply::NoError)
        result.error = reply->errorString();
    reply->deleteLater();
    return result;
}
