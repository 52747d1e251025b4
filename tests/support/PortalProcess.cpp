#include "PortalProcess.h"

#include <QDeadlineTimer>

namespace {
constexpr int kGenerousMs = 60000;
}

PortalCommand PortalProcess::run(const QStringList &args)
{
    QProcess process; // kills the command on the way out if it hangs
    process.start(QStringLiteral(VELKARN_PORTAL_BIN), args);
    if (!process.waitForFinished(kGenerousMs) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

bool PortalProcess::start(const QString &certificate, const QString &key, const QStringList &options)
{
    _server.start(QStringLiteral(VELKARN_PORTAL_BIN),
                  QStringList{QStringLiteral("serve"), QStringLiteral("--db"), databasePath(),
                              QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                              QStringLiteral("--cert"), certificate, QStringLiteral("--key"), key}
                      + storeOption() + options);
    const QString line = nextLine();
    const QString prefix = QStringLiteral("listening on ");
    if (!line.startsWith(prefix))
        return false;
    _url = line.mid(prefix.size());
    return true;
}

int PortalProcess::stop()
{
    if (_server.state() != QProcess::NotRunning) {
        _server.terminate();
        if (!_server.waitForFinished(kGenerousMs)) {
            _server.kill();
            _server.waitForFinished();
        }
    }
    return _server.exitStatus() == QProcess::NormalExit ? _server.exitCode() : -1;
}

QString PortalProcess::nextLine()
{
    const QDeadlineTimer deadline(kGenerousMs);
    while (!_server.canReadLine() && _server.state() != QProcess::NotRunning && !deadline.hasExpired())
        _server.waitForReadyRead(int(deadline.remainingTime()));
    return QString::fromUtf8(_server.readLine()).trimmed();
}
