#pragma once

#include <QString>
#include <QTemporaryDir>

// A throw-away PostgreSQL cluster in a temporary directory (initdb, pg_ctl) on
// a free loopback port, its socket in that directory, so no system service is
// touched. initdb refuses root, so as root it runs as the `postgres` user.
class PostgresServer
{
public:
    ~PostgresServer();

    // Makes the cluster and starts it; false with reason() when it cannot.
    bool start();
    // Stops and starts the same cluster again, as an outage would.
    bool stopServer();
    bool startServer();

    // A new empty database; its --db URL, or empty with reason().
    QString createDatabase(const QString &name);
    QString reason() const { return m_reason; }

    // Whether a missing PostgreSQL must fail the suite instead of skipping it.
    static bool required() { return qEnvironmentVariable("CI") == QStringLiteral("true"); }

private:
    bool runTool(const QString &tool, const QStringList &args);
    bool pgCtl(const QStringList &args);

    QTemporaryDir m_dir{QStringLiteral("/tmp/velkarn-pg-XXXXXX")};
    QString m_binDir;
    quint16 m_port = 0;
    bool m_running = false;
    QString m_reason;
};
