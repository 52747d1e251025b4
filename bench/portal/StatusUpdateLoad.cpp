#include "StatusUpdateLoad.h"

#include <QNetworkReply>
#include <QSslCertificate>

#include <algorithm>

namespace {
constexpr int kConnections = 4;
}

StatusUpdateLoad::StatusUpdateLoad(const QString &url, const QByteArray &body, const QString &caFile, double rate)
    : _url(url)
    , _body(body)
    , _ssl(QSslConfiguration::defaultConfiguration())
    , _rate(rate)
{
    _ssl.addCaCertificates(QSslCertificate::fromPath(caFile));
    for (int i = 0; i < kConnections; ++i)
        _managers.push_back(std::make_unique<QNetworkAccessManager>());
    _pacer.setTimerType(Qt::PreciseTimer);
    _pacer.setInterval(1);
    connect(&_pacer, &QTimer::timeout, this, &StatusUpdateLoad::tick);
}

void StatusUpdateLoad::start()
{
    _clock.start();
    _pacer.start();
}

void StatusUpdateLoad::stop()
{
    if (_stopping)
        return;
    _stopping = true;
    _pacer.stop();
    _figures.seconds = double(_clock.elapsed()) / 1000.0;
    if (_inFlight == 0)
        emit finished();
}

void StatusUpdateLoad::tick()
{
    const qint64 due = qint64(double(_clock.nsecsElapsed()) / 1e9 * _rate) + 1;
    while (_sent < due)
        send();
}

void StatusUpdateLoad::send()
{
    QNetworkRequest request{QUrl(_url)};
    request.setSslConfiguration(_ssl);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    const qint64 startedNs = _clock.nsecsElapsed();
    QNetworkReply *reply = _managers.at(size_t(_sent++ % kConnections))->post(request, _body);
    ++_inFlight;
    connect(reply, &QNetworkReply::finished, this, [this, reply, startedNs] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status == 200)
            ++_figures.ok;
        else if (status == 429)
            ++_figures.limited;
        else
            ++_figures.other;
        _latenciesMs.append(double(_clock.nsecsElapsed() - startedNs) / 1e6);
        reply->deleteLater();
        if (--_inFlight == 0 && _stopping)
            emit finished();
    });
}

StatusFigures StatusUpdateLoad::figures() const
{
    StatusFigures result = _figures;
    QList<double> sorted = _latenciesMs;
    std::sort(sorted.begin(), sorted.end());
    if (!sorted.isEmpty()) {
        result.p99Ms = sorted.at(std::min<qsizetype>(sorted.size() - 1, qsizetype(double(sorted.size()) * 0.99)));
        result.maxMs = sorted.last();
    }
    return result;
}
