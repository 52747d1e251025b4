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
    QDir root(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(), [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
    for (const QString &version : versions) {
        const QString bin = root.filePath(version + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")))
            return bin;
    }
    return {};
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

PostgresServer::~PostgresServer()
{
    if (m_running)
        runTool(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")),
                                           QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("-w"),
                                           QStringLiteral("stop")});
}

bool PostgresServer::runTool(const QString &tool, const QStringList &args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    const QString program = m_binDir + QLatin1Char('/') + tool;
    if (::geteuid() == 0)
        process.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                                             QStringLiteral("--"), program} + args);
    else
        process.start(program, args);
    if (!process.waitForFinished(kToolTimeoutMs) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        process.kill();
        m_reason = tool + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAll()).trimmed();
        return false;
    }
    return true;
}

bool PostgresServer::start()
{
    if (m_running)
        return true;
    m_binDir = newestBinDir();
    if (m_binDir.isEmpty()) {
        m_reason = QStringLiteral("no initdb under /usr/lib/postgresql (install postgresql)");
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        m_reason = QStringLiteral("no QPSQL driver (install libqt6sql6-psql)");
        return false;
    }
    if (!m_dir.isValid()) {
        m_reason = QStringLiteral("no temporary directory");
        return false;
    }
    if (::geteuid() == 0) {
        const passwd *postgres = ::getpwnam("postgres");
        if (!postgres || ::chown(QFile::encodeName(m_dir.path()).constData(), postgres->pw_uid, postgres->pw_gid) != 0) {
            m_reason = QStringLiteral("no postgres user to run the server as");
            return false;
        }
    }
    if (!runTool(QStringLiteral("initdb"), {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")),
                                            QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-U"),
                                            QStringLiteral("postgres"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                                            QStringLiteral("--locale=C.UTF-8"), QStringLiteral("--no-sync")}))
        return false;
    m_port = freePort();
    return startServer();
}

bool PostgresServer::startServer()
{
    // Durability is of no use to a test and costs it seconds.
    const QString settings = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off"
                                            " -c synchronous_commit=off -c full_page_writes=off -c max_connections=200")
                                 .arg(m_port)
                                 .arg(m_dir.path());
    m_running = runTool(QStringLiteral("pg_ctl"),
                       {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-l"),
                        m_dir.filePath(QStringLiteral("server.log")), QStringLiteral("-o"), settings,
                        QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("start")});
    return m_running;
}

bool PostgresServer::stopServer()
{
    const bool stopped = runTool(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")),
                                                            QStringLiteral("-m"), QStringLiteral("fast"),
                                                            QStringLiteral("-w"), QStringLiteral("stop")});
    m_running = !stopped;
    return stopped;
}

QString PostgresServer::createDatabase(const QString &name)
{
    const QString connection = QStringLiteral("velkarn-test-admin");
    bool created = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(m_port);
        db.setUserName(QStringLiteral("postgres"));
        db.setDatabaseName(QStringLiteral("postgres"));
        QSqlQuery query(db);
        created = db.open() && query.exec(QStringLiteral("CREATE DATABASE \"%1\"").arg(name));
        if (!created)
            m_reason = db.isOpen() ? query.lastError().text() : db.lastError().text();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (!created)
        return {};
    return QStringLiteral("postgresql://postgres@127.0.0.1:%1/%2").arg(m_port).arg(name);
}
