#include "PortalDatabase.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

namespace vk {

namespace {

QAtomicInteger<quint64> connectionCounter;

QString nextConnectionName()
{
    return QStringLiteral("velkarn-portal-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
}

void dropConnection(const QString &name)
{
    QSqlDatabase::database(name, false).close();
    QSqlDatabase::removeDatabase(name);
}

QSqlDatabase openConnection(const DatabaseLocation &location, const QString &name, bool serving)
{
    const SqlEngine &engine = sqlEngine(location.engine);
    QSqlDatabase db = engine.addConnection(location, name, serving);
    if (db.open())
        engine.configure(db);
    return db;
}

struct ThreadConnection
{
    QString name;
    QHash<QString, QSqlQuery> statements;
};

// The connections a thread holds, one per PortalDatabase, closed when the
// thread ends; their statements go first, as they use them.
struct ThreadConnections
{
    QHash<quint64, ThreadConnection> connections;
    ~ThreadConnections()
    {
        for (ThreadConnection &connection : connections) {
            connection.statements.clear();
            dropConnection(connection.name);
        }
    }
};

thread_local ThreadConnections threadConnections;

} // namespace

QString defaultStoreDir(const QString &database)
{
    const DatabaseLocation location = parseDatabaseLocation(database);
    if (location.engine != Engine::Sqlite)
        return {};
    return QFileInfo(location.path).absoluteFilePath() + QStringLiteral(".books");
}

ScopedConnection::ScopedConnection(const QString &database)
    : m_engine(sqlEngine(parseDatabaseLocation(database).engine))
    , m_name(nextConnectionName())
{
    openConnection(parseDatabaseLocation(database), m_name, false);
}

ScopedConnection::~ScopedConnection()
{
    dropConnection(m_name);
}

bool ScopedConnection::isOpen() const
{
    return database().isOpen();
}

QString ScopedConnection::errorText() const
{
    return database().lastError().text();
}

QSqlDatabase ScopedConnection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

const SqlEngine &ScopedConnection::engine() const
{
    return m_engine;
}

QSqlQuery ScopedConnection::prepared(const QString &sql)
{
    QSqlQuery query(database());
    query.prepare(sql);
    return query;
}

PortalDatabase::PortalDatabase(const QString &database)
    : m_location(parseDatabaseLocation(database))
    , m_engine(sqlEngine(m_location.engine))
    , m_id(connectionCounter.fetchAndAddRelaxed(1))
{
}

QSqlDatabase PortalDatabase::connection()
{
    QString &name = threadConnections.connections[m_id].name;
    if (name.isEmpty()) {
        name = nextConnectionName();
        return openConnection(m_location, name, true);
    }
    QSqlDatabase db = QSqlDatabase::database(name, false);
    if (!db.isOpen() && db.open())
        m_engine.configure(db);
    return db;
}

bool PortalDatabase::hasConnection() const
{
    const auto held = threadConnections.connections.constFind(m_id);
    return held != threadConnections.connections.cend() && !held->name.isEmpty()
        && QSqlDatabase::database(held->name, false).isOpen();
}

void PortalDatabase::discardConnection()
{
    ThreadConnection connection = threadConnections.connections.take(m_id);
    connection.statements.clear();
    if (!connection.name.isEmpty())
        dropConnection(connection.name);
}

QSqlQuery PortalDatabase::prepared(const QString &sql)
{
    const QSqlDatabase db = connection();
    QHash<QString, QSqlQuery> &statements = threadConnections.connections[m_id].statements;
    auto kept = statements.find(sql);
    if (kept != statements.end()) {
        // Copies of a QSqlQuery share one prepared statement, which is the
        // point of keeping it; Qt discourages copies only for their sharing.
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        return *kept;
        QT_WARNING_POP
    }
    QSqlQuery query(db);
    // A statement that did not prepare (the database was away) is not kept.
    if (query.prepare(sql))
        statements.insert(sql, query);
    return query;
}

bool PortalDatabase::ping(QString *error)
{
    {
        QSqlDatabase db = connection();
        QSqlQuery query(db);
        if (db.isOpen() && query.exec(QStringLiteral("SELECT 1")) && query.next())
            return true;
        if (error)
            *error = db.isOpen() ? query.lastError().text() : db.lastError().text();
    }
    discardConnection();
    return false;
}

QString PortalDatabase::health()
{
    if (m_location.engine != Engine::Sqlite) {
        QString error;
        return ping(&error) ? QString() : (error.isEmpty() ? QStringLiteral("the database gave no reason") : error);
    }
    // A fresh read-only connection: the request threads' connections keep a
    // removed or replaced file open and go on answering from it, and a
    // missing file must be reported, not created empty.
    const QString name = nextConnectionName();
    QSqlError error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(m_location.path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=1000"));
        if (!db.open()) {
            error = db.lastError();
        } else {
            QSqlQuery query(db);
            if (!query.exec(QStringLiteral("SELECT 1 FROM users LIMIT 1")))
                error = query.lastError();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (error.type() == QSqlError::NoError)
        return {};
    return error.text().isEmpty() ? QStringLiteral("the database gave no reason") : error.text();
}

} // namespace vk
