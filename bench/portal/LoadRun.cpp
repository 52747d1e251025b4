#include "LoadRun.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QSslCertificate>

#include <algorithm>
#include <cmath>

double LoadResult::percentile(double p) const
{
    if (latenciesMs.isEmpty())
        return 0;
    QList<double> sorted = latenciesMs;
    std::sort(sorted.begin(), sorted.end());
    const qsizetype index = qsizetype(std::ceil(p / 100.0 * double(sorted.size()))) - 1;
    return sorted.at(std::clamp<qsizetype>(index, 0, sorted.size() - 1));
}

LoadRun::LoadRun(const LoadSettings &settings)
    : _settings(settings)
    , _ssl(QSslConfiguration::defaultConfiguration())
{
    _ssl.addCaCertificates(QSslCertificate::fromPath(settings.caFile));
    // One manager per slot so that each keeps its own connection alive.
    for (int i = 0; i < std::max(1, settings.connections); ++i)
        _managers.push_back(std::make_unique<QNetworkAccessManager>());
    _pacer.setTimerType(Qt::PreciseTimer);
    _pacer.setInterval(1);
    connect(&_pacer, &QTimer::timeout, this, &LoadRun::tick);
}

void LoadRun::send(int slot)
{
    QNetworkRequest request{QUrl(_settings.url)};
    request.setSslConfiguration(_ssl);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    const qint64 startedNs = _clock.nsecsElapsed();
    const qint64 number = _sent++;
    ++_inFlight;
    QNetworkReply *reply = _managers.at(size_t(slot))->post(request, _settings.body);
    connect(reply, &QNetworkReply::finished, this, [this, reply, slot, startedNs, number] {
        --_inFlight;
        const bool ok = reply->error() == QNetworkReply::NoError
            && reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
        reply->readAll();
        reply->deleteLater();
        if (number >= _settings.warmup) {
            if (_measureFromMs < 0)
                _measureFromMs = _clock.elapsed();
            ++_result.requests;
            if (!ok)
                ++_result.errors;
            if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 429)
                ++_result.limited;
            _result.latenciesMs.append(double(_clock.nsecsElapsed() - startedNs) / 1e6);
        } else if (number == _settings.warmup - 1) {
            _measureFromMs = _clock.elapsed();
        }
        if (_settings.seconds > 0 && _measureFromMs >= 0
            && _clock.elapsed() - _measureFromMs >= qint64(_settings.seconds * 1000))
            _stopping = true;
        if (!_stopping && _settings.rate <= 0)
            send(slot);
        finishIfDone();
    });
}

void LoadRun::finishIfDone()
{
    if (_stopping && _inFlight == 0) {
        _pacer.stop();
        emit finished();
    }
}

void LoadRun::stop()
{
    _stopping = true;
    finishIfDone();
}

void LoadRun::tick()
{
    if (_stopping)
        return finishIfDone();
    // Paced mode: catch up with the schedule, one slot after another.
    const qint64 due = qint64(double(_clock.nsecsElapsed()) / 1e9 * _settings.rate) + 1;
    while (_sent < due)
        send(int(_sent % qint64(_managers.size())));
}

LoadResult LoadRun::run()
{
    QEventLoop loop;
    connect(this, &LoadRun::finished, &loop, &QEventLoop::quit);
    _clock.start();
    if (_settings.rate > 0) {
        _pacer.start();
    } else {
        for (int slot = 0; slot < int(_managers.size()); ++slot)
            send(slot);
    }
    loop.exec();
    if (_measureFromMs >= 0)
        _result.seconds = double(_clock.elapsed() - _measureFromMs) / 1000.0;
    return _result;
}
