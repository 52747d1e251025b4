#include "PostgresServer.h"

#include <QDir>
#include <QHostAddress>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>

#include <pwd.h>
#include <unistd.h>

namespace {

constexpr int kToolTimeoutMs = 60000;

QString newestBinDir()
{
    QDir root("/usr/lib/postgresql");
    QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(), [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
    for (const QString &version : versions) {
        if (QFile::exists(root.filePath(version + "/bin/initdb")))
            return root.filePath(version + "/bin");
    }
    return {};
}

} // namespace

PostgresServer::~PostgresServer()
{
    if (m_running)
        pgCtl({"-m", "immediate", "-w", "stop"});
}

bool PostgresServer::runTool(const QString &tool, const QStringList &args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    const QString program = m_binDir + '/' + tool;
    if (::geteuid() == 0)
        process.start("runuser", QStringList{"-u", "postgres", "--", program} + args);
    else
        process.start(program, args);
    if (!process.waitForFinished(kToolTimeoutMs) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        process.kill();
        m_reason = tool + " failed: " + QString::fromLocal8Bit(process.readAll()).trimmed();
        return false;
    }
    return true;
}

bool PostgresServer::pgCtl(const QStringList &args)
{
    return runTool("pg_ctl", QStringList{"-D", m_dir.filePath("data")} + args);
}

bool PostgresServer::start()
{
    if (m_running)
        return true;
    m_binDir = newestBinDir();
    m_reason = m_binDir.isEmpty()                       ? "no initdb under /usr/lib/postgresql (install postgresql)"
        : !QSqlDatabase::isDriverAvailable("QPSQL") ? "no QPSQL driver (install libqt6sql6-psql)"
        : !m_dir.isValid()                          ? "no temporary directory"
                                                    : "";
    if (!m_reason.isEmpty())
        return false;
    if (::geteuid() == 0) {
        const passwd *postgres = ::getpwnam("postgres");
        if (!postgres || ::chown(QFile::encodeName(m_dir.path()).constData(), postgres->pw_uid, postgres->pw_gid) != 0) {
            m_reason = "no postgres user to run the server as";
            return false;
        }
    }
    if (!runTool("initdb", {"-D", m_dir.filePath("data"), "-A", "trust", "-U", "postgres", "-E", "UTF8",
                            "--locale=C.UTF-8", "--no-sync"}))
        return false;
    {
        QTcpServer probe; // gives the port back before the server takes it
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
    }
    return startServer();
}

bool PostgresServer::startServer()
{
    // Durability is of no use to a test and costs it seconds.
    const QString settings = QString("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off"
                                     " -c full_page_writes=off -c max_connections=200")
                                 .arg(m_port)
                                 .arg(m_dir.path());
    m_running = pgCtl({"-l", m_dir.filePath("server.log"), "-o", settings, "-w", "-t", "60", "start"});
    return m_running;
}

bool PostgresServer::stopServer()
{
    m_running = !pgCtl({"-m", "fast", "-w", "stop"});
    return !m_running;
}

QString PostgresServer::createDatabase(const QString &name)
{
    const QString connection = "velkarn-test-admin";
    bool created = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", connection);
        db.setHostName("127.0.0.1");
        db.setPort(m_port);
        db.setUserName("postgres");
        db.setDatabaseName("postgres");
        QSqlQuery query(db);
        created = db.open() && query.exec(QString("CREATE DATABASE \"%1\"").arg(name));
        if (!created)
            m_reason = db.isOpen() ? query.lastError().text() : db.lastError().text();
    }
    QSqlDatabase::removeDatabase(connection);
    return created ? QString("postgresql://postgres@127.0.0.1:%1/%2").arg(m_port).arg(name) : QString();
}
