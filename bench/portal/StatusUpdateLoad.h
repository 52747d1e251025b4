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

struct StatusFigures
{
    qint64 ok = 0;      // answered 200: the update was written
    qint64 limited = 0; // answered 429: refused by a rate limit, nothing written
    qint64 other = 0;   // any other answer, or none
    double seconds = 0;
    double p99Ms = 0;
    double maxMs = 0;
};

// Status updates at a fixed rate until stop(), for as long as another load
// runs beside them. Each answer is sorted by what it means for the database.
class StatusUpdateLoad : public QObject
{
    Q_OBJECT

public:
    StatusUpdateLoad(const QString &url, const QByteArray &body, const QString &caFile, double rate);

    void start();
    // Sends nothing more; finished() follows the last answer.
    void stop();
    StatusFigures figures() const;

signals:
    void finished();

private:
    void tick();
    void send();

    QString _url;
    QByteArray _body;
    QSslConfiguration _ssl;
    double _rate;
    std::vector<std::unique_ptr<QNetworkAccessManager>> _managers;
    QTimer _pacer;
    QElapsedTimer _clock;
    qint64 _sent = 0;
    qint64 _inFlight = 0;
    bool _stopping = false;
    StatusFigures _figures;
    QList<double> _latenciesMs;
};
