#include "AdminLibrary.h"

#include "CommandLine.h"
#include "SchemaMigrations.h"
#include "StoreSweep.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlError>

namespace vk {

QString existingDatabasePath(const CommandOptions &options)
{
    const QString path = options.required(QStringLiteral("db"));
    if (parseDatabaseLocation(path).engine == Engine::Sqlite && !QFileInfo::exists(path))
        throw CommandError{QStringLiteral("no library at %1 (create it with: velkarn-portal init --db %1)").arg(path)};
    return path;
}

AdminLibrary::AdminLibrary(const CommandOptions &options)
    : m_connection(existingDatabasePath(options))
    , m_storeDir(options.value(QStringLiteral("store"), defaultStoreDir(options.value(QStringLiteral("db")))))
{
    if (!m_connection.isOpen())
        throw CommandError{QStringLiteral("cannot open %1: %2").arg(options.value(QStringLiteral("db")), m_connection.errorText())};
    const QString schemaProblem = checkSchema(database(), options.value(QStringLiteral("db")));
    if (!schemaProblem.isEmpty())
        throw CommandError{schemaProblem};
    if (!m_storeDir.isEmpty())
        reportSweep(sweepBookStore(database(), m_storeDir, QDateTime::currentMSecsSinceEpoch()), m_storeDir);
}

QSqlDatabase AdminLibrary::database() const
{
    return m_connection.database();
}

const SqlEngine &AdminLibrary::engine() const
{
    return m_connection.engine();
}

QString AdminLibrary::storeDir() const
{
    return m_storeDir;
}

QString AdminLibrary::requireStoreDir() const
{
    if (m_storeDir.isEmpty())
        throw CommandError{QStringLiteral("give --store DIR: a PostgreSQL library keeps its book files where "
                                          "every portal process can reach them, not beside the database")};
    return m_storeDir;
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
    const QString error = engine().beginWrite(database());
    if (!error.isEmpty())
        throw CommandError{QStringLiteral("database error: %1").arg(error)};
}

void AdminLibrary::commit()
{
    if (!database().commit())
        throw CommandError{QStringLiteral("database error: %1").arg(database().lastError().text())};
}

AdminTransaction::AdminTransaction(AdminLibrary &library)
    : m_library(library)
{
    m_library.begin();
}

AdminTransaction::~AdminTransaction()
{
    if (!m_done)
        m_library.database().rollback();
}

void AdminTransaction::commit()
{
    m_library.commit();
    m_done = true;
}

} // namespace vk
