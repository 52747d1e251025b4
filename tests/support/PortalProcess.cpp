#include "PortalProcess.h"

#include <QDeadlineTimer>

namespace {
constexpr int kGenerousMs = 60000;
}

PortalCommand PortalProcess::run(const QStringList &args, const ChildSetup &setup)
{
    QProcess process; // kills the command on the way out if it hangs
    if (setup)
        process.setChildProcessModifier(setup);
    process.start(VELKARN_PORTAL_BIN, args);
    if (!process.waitForFinished(kGenerousMs) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

bool PortalProcess::start(const QString &certificate, const QString &key, const QStringList &options)
{
    m_server.start(VELKARN_PORTAL_BIN, QStringList{"serve", "--db", databasePath(), "--listen", "127.0.0.1:0", "--cert",
                                                   certificate, "--key", key}
                                           + storeOption() + options);
    const QString line = nextLine();
    const QString prefix = "listening on ";
    m_url = line.mid(prefix.size());
    return line.startsWith(prefix);
}

int PortalProcess::stop()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(kGenerousMs))
            kill();
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
