#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QSslConfiguration>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

struct LoadSettings
{
    QString url;
    QByteArray body;
    QString caFile;
    int connections = 4;   // requests in flight at once in "max" mode
    double rate = 0;       // requests per second; 0 means as fast as the answers come
    double seconds = 5;    // 0: until stop()
    int warmup = 40;       // requests whose latency is not counted (TLS handshakes)
};

struct LoadResult
{
    qint64 requests = 0;
    qint64 errors = 0;
    qint64 limited = 0; // errors that were 429 answers
    double seconds = 0;
    QList<double> latenciesMs;

    double percentile(double p) const;
};

// Sends POST requests over HTTPS, either keeping a fixed number in flight or
// at a fixed rate, and records each answer's latency.
class LoadRun : public QObject
{
    Q_OBJECT

public:
    explicit LoadRun(const LoadSettings &settings);

    // Runs to the end with its own event loop.
    LoadResult run();
    // Sends nothing more; run() returns after the last answer.
    void stop();

signals:
    void finished();

private:
    void send(int slot);
    void finishIfDone();
    void tick();

    LoadSettings m_settings;
    QSslConfiguration m_ssl;
    std::vector<std::unique_ptr<QNetworkAccessManager>> m_managers;
    QElapsedTimer m_clock;
    QTimer m_pacer;
    qint64 m_sent = 0;
    qint64 m_inFlight = 0;
    qint64 m_measureFromMs = -1;
    bool m_stopping = false;
    LoadResult m_result;
};
