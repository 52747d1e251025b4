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
    : m_settings(settings)
    , m_ssl(QSslConfiguration::defaultConfiguration())
{
    m_ssl.addCaCertificates(QSslCertificate::fromPath(settings.caFile));
    // One manager per slot so that each keeps its own connection alive.
    for (int i = 0; i < std::max(1, settings.connections); ++i)
        m_managers.push_back(std::make_unique<QNetworkAccessManager>());
    m_pacer.setTimerType(Qt::PreciseTimer);
    m_pacer.setInterval(1);
    connect(&m_pacer, &QTimer::timeout, this, &LoadRun::tick);
}

void LoadRun::send(int slot)
{
    QNetworkRequest request{QUrl(m_settings.url)};
    request.setSslConfiguration(m_ssl);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    const qint64 startedNs = m_clock.nsecsElapsed();
    const qint64 number = m_sent++;
    ++m_inFlight;
    QNetworkReply *reply = m_managers.at(size_t(slot))->post(request, m_settings.body);
    connect(reply, &QNetworkReply::finished, this, [this, reply, slot, startedNs, number] {
        --m_inFlight;
        const bool ok = reply->error() == QNetworkReply::NoError
            && reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
        reply->readAll();
        reply->deleteLater();
        if (number >= m_settings.warmup) {
            if (m_measureFromMs < 0)
                m_measureFromMs = m_clock.elapsed();
            ++m_result.requests;
            if (!ok)
                ++m_result.errors;
            if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 429)
                ++m_result.limited;
            m_result.latenciesMs.append(double(m_clock.nsecsElapsed() - startedNs) / 1e6);
        } else if (number == m_settings.warmup - 1) {
            m_measureFromMs = m_clock.elapsed();
        }
        if (m_settings.seconds > 0 && m_measureFromMs >= 0
            && m_clock.elapsed() - m_measureFromMs >= qint64(m_settings.seconds * 1000))
            m_stopping = true;
        if (!m_stopping && m_settings.rate <= 0)
            send(slot);
        finishIfDone();
    });
}

void LoadRun::finishIfDone()
{
    if (m_stopping && m_inFlight == 0) {
        m_pacer.stop();
        emit finished();
    }
}

void LoadRun::stop()
{
    m_stopping = true;
    finishIfDone();
}

void LoadRun::tick()
{
    if (m_stopping)
        return finishIfDone();
    // Paced mode: catch up with the schedule, one slot after another.
    const qint64 due = qint64(double(m_clock.nsecsElapsed()) / 1e9 * m_settings.rate) + 1;
    while (m_sent < due)
        send(int(m_sent % qint64(m_managers.size())));
}

LoadResult LoadRun::run()
{
    QEventLoop loop;
    connect(this, &LoadRun::finished, &loop, &QEventLoop::quit);
    m_clock.start();
    if (m_settings.rate > 0) {
        m_pacer.start();
    } else {
        for (int slot = 0; slot < int(m_managers.size()); ++slot)
            send(slot);
    }
    loop.exec();
    if (m_measureFromMs >= 0)
        m_result.seconds = double(m_clock.elapsed() - m_measureFromMs) / 1000.0;
    return m_result;
}
