#include "PortalDatabase.h"

#include "PrivateFiles.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <memory>

namespace {

constexpr qint64 kWalSizeLimitBytes = 4 * 1024 * 1024;

QAtomicInteger<quint64> connectionCounter;

QString nextConnectionName()
{
    return QStringLiteral("velkarn-portal-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
}

QSqlDatabase openConnection(const QString &databasePath, const QString &name, bool readOnly = false)
{
    QString driver = QStringLiteral("QSQLITE");
    QString target = databasePath;
    const qsizetype colon = databasePath.indexOf(QLatin1Char(':'));
    if (colon > 1 && QSqlDatabase::drivers().contains(databasePath.left(colon))) {
        driver = databasePath.left(colon);
        target = databasePath.mid(colon + 1);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, name);
    db.setDatabaseName(target);
    const bool sqlite = driver == QStringLiteral("QSQLITE");
    if (sqlite && readOnly) {
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=1000"));
    } else if (sqlite) {
        protectDatabaseFiles(target);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    }
    if (db.open() && sqlite) {
        QSqlQuery pragma(db);
        pragma.exec(QStringLiteral("PRAGMA foreign_keys = ON"));
        pragma.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
        // Once a checkpoint has caught up, the write-ahead log shrinks back to
        // this instead of keeping the largest size it ever reached.
        pragma.exec(QStringLiteral("PRAGMA journal_size_limit = %1").arg(kWalSizeLimitBytes));
    }
    return db;
}

struct ThreadConnection
{
    QString name;
    ~ThreadConnection()
    {
        if (name.isEmpty())
            return;
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
};

} // namespace

QString defaultStoreDir(const QString &databasePath)
{
    return QFileInfo(databasePath).absoluteFilePath() + QStringLiteral(".books");
}

ScopedConnection::ScopedConnection(const QString &databasePath)
    : _name(nextConnectionName())
{
    openConnection(databasePath, _name);
}

ScopedConnection::~ScopedConnection()
{
    QSqlDatabase::database(_name, false).close();
    QSqlDatabase::removeDatabase(_name);
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
    return QSqlDatabase::database(_name, false);
}

QSqlDatabase threadConnection(const QString &databasePath)
{
    thread_local ThreadConnection holder;
    if (holder.name.isEmpty()) {
        holder.name = nextConnectionName();
        openConnection(databasePath, holder.name);
    }
    QSqlDatabase db = QSqlDatabase::database(holder.name, false);
    if (!db.isOpen())
        db.open();
    return db;
}

QString createSchema(QSqlDatabase db)
{
    QSqlQuery query(db);
    // WAL lets the request threads read while a status update writes.
    if (db.driverName() == QStringLiteral("QSQLITE"))
        query.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
    const QStringList statements = {
        QStringLiteral("CREATE TABLE IF NOT EXISTS companies ("
                       " id INTEGER PRIMARY KEY,"
                       " name TEXT NOT NULL UNIQUE,"
                       " active INTEGER NOT NULL DEFAULT 1)"),
        // Addresses compare without regard to ASCII case, as mail systems do.
        // The password is kept as given: the protocol sends it back (scrambled).
        QStringLiteral("CREATE TABLE IF NOT EXISTS users ("
                       " id INTEGER PRIMARY KEY,"
                       " email TEXT NOT NULL UNIQUE COLLATE NOCASE,"
                       " company_id INTEGER NOT NULL REFERENCES companies(id),"
                       " category TEXT NOT NULL,"
                       " password TEXT NOT NULL,"
                       " active INTEGER NOT NULL DEFAULT 1,"
                       " online INTEGER NOT NULL DEFAULT 0,"
                       " online_at_ms INTEGER NOT NULL DEFAULT 0)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS books ("
                       " id INTEGER PRIMARY KEY,"
                       " company_id INTEGER NOT NULL REFERENCES companies(id),"
                       " category TEXT NOT NULL,"
                       " name TEXT NOT NULL,"
                       " position INTEGER NOT NULL,"
                       " token TEXT NOT NULL UNIQUE,"
                       " file TEXT,"
                       " url TEXT,"
                       " password TEXT NOT NULL DEFAULT '',"
                       " UNIQUE (company_id, category, name))"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS books_by_shelf"
                       " ON books (company_id, category, position, id)"),
    };
    for (const QString &statement : statements) {
        if (!query.exec(statement))
            return query.lastError().text();
    }
    return {};
}

bool hasSchema(QSqlDatabase db)
{
    const QStringList tables = db.tables();
    return tables.contains(QStringLiteral("companies")) && tables.contains(QStringLiteral("users"))
        && tables.contains(QStringLiteral("books"));
}

QString pingDatabase(const QString &databasePath)
{
    const QString name = nextConnectionName();
    QSqlError error;
    {
        QSqlDatabase db = openConnection(databasePath, name, true);
        if (!db.isOpen()) {
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
