#include "PortalProcess.h"

#include <QDeadlineTimer>
#include <QUrl>

namespace {
constexpr int kGenerousMs = 60000;
}

PortalProcess::PortalProcess()
{
    admin({QStringLiteral("init")});
}

PortalProcess::~PortalProcess()
{
    stop();
}

PortalCommand PortalProcess::run(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral(VELKARN_PORTAL_BIN), args);
    PortalCommand result;
    if (!process.waitForFinished(kGenerousMs) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitCode();
    result.output = process.readAllStandardOutput();
    result.errors = process.readAllStandardError();
    return result;
}

PortalCommand PortalProcess::admin(const QStringList &args) const
{
    return run(args + QStringList{QStringLiteral("--db"), databasePath()});
}

bool PortalProcess::start(const QString &certificate, const QString &key, const QStringList &options)
{
    _server.start(QStringLiteral(VELKARN_PORTAL_BIN),
                  QStringList{QStringLiteral("serve"), QStringLiteral("--db"), databasePath(),
                              QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                              QStringLiteral("--cert"), certificate, QStringLiteral("--key"), key}
                      + options);
    const QDeadlineTimer deadline(kGenerousMs);
    while (!_server.canReadLine() && _server.state() != QProcess::NotRunning && !deadline.hasExpired())
        _server.waitForReadyRead(int(deadline.remainingTime()));
    const QString line = QString::fromUtf8(_server.readLine()).trimmed();
    const QString prefix = QStringLiteral("listening on ");
    if (!line.startsWith(prefix))
        return false;
    _url = line.mid(prefix.size());
    return true;
}

int PortalProcess::stop()
{
    if (_server.state() == QProcess::NotRunning)
        return _server.exitCode();
    _server.terminate();
    if (!_server.waitForFinished(kGenerousMs)) {
        _server.kill();
        _server.waitForFinished();
        return -1;
    }
    return _server.exitStatus() == QProcess::NormalExit ? _server.exitCode() : -1;
}

quint16 PortalProcess::port() const
{
    return quint16(QUrl(_url).port());
}

QByteArray PortalProcess::errors()
{
    return _server.readAllStandardError();
}
