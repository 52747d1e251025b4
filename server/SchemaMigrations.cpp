#include "SchemaMigrations.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace vk {

namespace {

// -1 when it cannot be read. A library made before numbered schemas has the
// tables of step 1 and no record of it (init makes the record's table empty
// before it looks).
int storedVersion(QSqlDatabase db, QString *error)
{
    const QStringList tables = db.tables();
    if (tables.contains(QStringLiteral("schema_version"))) {
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !query.next()) {
            *error = query.lastError().text();
            return -1;
        }
        if (!query.value(0).isNull())
            return query.value(0).toInt();
    }
    return tables.contains(QStringLiteral("companies")) ? 1 : 0;
}

QString newerMessage(const QString &shownName, int version)
{
    return QStringLiteral("%1 has schema version %2, newer than the %3 this velkarn-portal knows: "
                          "run a velkarn-portal as new as the library")
        .arg(shownName)
        .arg(version)
        .arg(knownSchemaVersion());
}

// Inside the transaction: the steps the library lacks, then their record.
// Returns an error text, empty on success.
QString applyMissingSteps(QSqlDatabase db, QSqlQuery &query, const QList<QStringList> &steps,
                          const QString &shownName)
{
    QString error;
    const int version = storedVersion(db, &error);
    if (version < 0)
        return error;
    if (version > steps.size())
        return newerMessage(shownName, version);
    for (int step = version; step < steps.size(); ++step) {
        for (const QString &statement : steps.at(step)) {
            if (!query.exec(statement))
                return query.lastError().text();
        }
    }
    if (!query.exec(QStringLiteral("DELETE FROM schema_version"))
        || !query.exec(QStringLiteral("INSERT INTO schema_version (version) VALUES (%1)").arg(steps.size())))
        return query.lastError().text();
    return {};
}

} // namespace

int knownSchemaVersion()
{
    return int(sqliteEngine().migrations().size());
}

QString applyMigrations(QSqlDatabase db, const SqlEngine &engine, const QString &shownName)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)")))
        return query.lastError().text();
    const QString beginError = engine.beginWrite(db);
    if (!beginError.isEmpty())
        return beginError;
    const QString error = applyMissingSteps(db, query, engine.migrations(), shownName);
    if (!error.isEmpty()) {
        query.finish();
        db.rollback();
        return error;
    }
    if (!db.commit())
        return db.lastError().text();
    return {};
}

QString checkSchema(QSqlDatabase db, const QString &shownName)
{
    QString error;
    const int version = storedVersion(db, &error);
    if (version < 0)
        return QStringLiteral("cannot read the schema version of %1: %2").arg(shownName, error);
    if (version == 0)
        return QStringLiteral("%1 is not a portal library (run init first)").arg(shownName);
    if (version > knownSchemaVersion())
        return newerMessage(shownName, version);
    if (version < knownSchemaVersion())
        return QStringLiteral("%1 has schema version %2, older than the %3 this velkarn-portal needs: "
                              "run velkarn-portal init --db %1")
            .arg(shownName)
            .arg(version)
            .arg(knownSchemaVersion());
    return {};
}

} // namespace vk
