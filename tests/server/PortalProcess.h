#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QSslConfiguration>
#include <QString>
#include <QStringList>

// Runs velkarn-portal as a child process and reads its first output line.
class PortalProcess
{
public:
    ~PortalProcess();

    // Runs a command to its end; returns its exit code (-1 if it did not run).
    static int run(const QStringList &args, QByteArray *output = nullptr, QByteArray *errors = nullptr);

    // Starts "serve" with `args`; on success url() is the address it listens on.
    bool start(const QStringList &args);
    // Sends SIGTERM and waits; returns the exit code (-1 if it had to be killed).
    int stop();
    QString url() const { return _url; }
    QByteArray errors();

private:
    QProcess _process;
    QString _url;
};

struct HttpReply
{
    int status = 0;
    QByteArray body;
    QString error;
};

// HTTPS requests trusting one extra CA, verification left on.
class TrustingClient
{
public:
    explicit TrustingClient(const QString &caFile);

    HttpReply post(const QString &url, const QByteArray &body);
    HttpReply get(const QString &url);

private:
    HttpReply wait(class QNetworkReply *reply);

    QNetworkAccessManager _manager;
    QSslConfiguration _ssl;
};
