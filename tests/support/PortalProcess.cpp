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
    m_server.start(QStringLiteral(VELKARN_PORTAL_BIN),
                  QStringList{QStringLiteral("serve"), QStringLiteral("--db"), databasePath(),
                              QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                              QStringLiteral("--cert"), certificate, QStringLiteral("--key"), key}
                      + storeOption() + options);
    const QString line = nextLine();
    const QString prefix = QStringLiteral("listening on ");
    if (!line.startsWith(prefix))
        return false;
    m_url = line.mid(prefix.size());
    return true;
}

int PortalProcess::stop()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(kGenerousMs)) {
            m_server.kill();
            m_server.waitForFinished();
        }
    }
    return m_server.exitStatus() == QProcess::NormalExit ? m_server.exitCode() : -1;
}

QString PortalProcess::nextLine()
{
    const QDeadlineTimer deadline(kGenerousMs);
    while (!m_server.canReadLine() && m_server.state() != QProcess::NotRunning && !deadline.hasExpired())
        m_server.waitForReadyRead(int(deadline.remainingTime()));
    return QString::fromUtf8(m_server.readLine()).trimmed();
}
