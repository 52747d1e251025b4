#include "AdminLibrary.h"

#include "CommandLine.h"
#include "StoreSweep.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlError>

QString existingDatabasePath(const CommandOptions &options)
{
    const QString path = options.required(QStringLiteral("db"));
    const bool otherDriver = path.indexOf(QLatin1Char(':')) > 1
        && QSqlDatabase::drivers().contains(path.left(path.indexOf(QLatin1Char(':'))));
    if (!otherDriver && !QFileInfo::exists(path))
        throw CommandError{QStringLiteral("no library at %1 (create it with: velkarn-portal init --db %1)").arg(path)};
    return path;
}

AdminLibrary::AdminLibrary(const CommandOptions &options)
    : _connection(existingDatabasePath(options))
    , _storeDir(options.value(QStringLiteral("store"), defaultStoreDir(options.value(QStringLiteral("db")))))
{
    if (!_connection.isOpen())
        throw CommandError{QStringLiteral("cannot open %1: %2").arg(options.value(QStringLiteral("db")), _connection.errorText())};
    if (!hasSchema(_connection.database()))
        throw CommandError{QStringLiteral("%1 is not a portal library (run init first)").arg(options.value(QStringLiteral("db")))};
    reportSweep(sweepBookStore(database(), _storeDir, QDateTime::currentMSecsSinceEpoch()), _storeDir);
}

QSqlDatabase AdminLibrary::database() const
{
    return _connection.database();
}

QString AdminLibrary::storeDir() const
{
    return _storeDir;
}

QSqlQuery AdminLibrary::run(const QString &sql, const QVariantList &values)
{
    QSqlQuery query(database());
    if (!query.prepare(sql))
        throw CommandError{QStringLiteral("database error: %1").arg(query.lastError().text())};
    for (const QVariant &v : values)
        query.addBindValue(v);
    if (!query.exec())
        throw CommandError{QStringLiteral("database error: %1").arg(query.lastError().text())};
    return query;
}

qint64 AdminLibrary::companyId(const QString &name)
{
    QSqlQuery query = run(QStringLiteral("SELECT id FROM companies WHERE name = ?"), {name});
    if (!query.next())
        throw CommandError{QStringLiteral("unknown company \"%1\"").arg(name)};
    return query.value(0).toLongLong();
}

void AdminLibrary::begin()
{
    // SQLite's default transaction starts as a reader; a status update that
    // commits before its first write makes that write fail at once, busy
    // timeout or not. Taking the write lock up front waits for it instead.
    if (database().driverName() == QStringLiteral("QSQLITE")) {
        run(QStringLiteral("BEGIN IMMEDIATE"));
        return;
    }
    if (!database().transaction())
        throw CommandError{QStringLiteral("database error: %1").arg(database().lastError().text())};
}

void AdminLibrary::commit()
{
    if (!database().commit())
        throw CommandError{QStringLiteral("database error: %1").arg(database().lastError().text())};
}

AdminTransaction::AdminTransaction(AdminLibrary &library)
    : _library(library)
{
    _library.begin();
}

AdminTransaction::~AdminTransaction()
{
    if (!_done)
        _library.database().rollback();
}

void AdminTransaction::commit()
{
    _library.commit();
    _done = true;
}
