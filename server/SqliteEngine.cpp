#include "SqlEngine.h"

#include "PrivateFiles.h"

#include <QSqlError>
#include <QSqlQuery>

namespace vk {

namespace {

constexpr qint64 kWalSizeLimitBytes = 4 * 1024 * 1024;

class SqliteEngine final : public SqlEngine
{
public:
    QList<QStringList> migrations() const override
    {
        // 1: the library as the first portal made it (libraries from before
        // numbered schemas hold exactly this, so IF NOT EXISTS adopts them).
        const QStringList first = {
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
            QStringLiteral("CREATE INDEX IF NOT EXISTS books_by_shelf ON books (company_id, category, position, id)"),
        };
        // 2: rate-limit counters, kept where every portal process sees them.
        const QStringList second = {
            QStringLiteral("CREATE TABLE rate_counts ("
                           " kind TEXT NOT NULL,"
                           " client TEXT NOT NULL,"
                           " minute INTEGER NOT NULL,"
                           " count INTEGER NOT NULL,"
                           " PRIMARY KEY (kind, client, minute))"),
            QStringLiteral("CREATE INDEX rate_counts_by_minute ON rate_counts (minute)"),
        };
        return {first, second};
    }

    QString sameAddress(const QString &column) const override
    {
        // The column's NOCASE collation does the folding.
        return column + QStringLiteral(" = ?");
    }

    QString byteOrder(const QString &column) const override { return column; }

    bool oneWriterAtATime() const override { return true; }

    bool countsInLibrary() const override { return false; }

    // The default transaction starts as a reader; a status update that
    // commits before its first write makes that write fail at once, busy
    // timeout or not. Taking the write lock up front waits for it instead.
    QString beginWrite(QSqlDatabase db) const override
    {
        QSqlQuery begin(db);
        return begin.exec(QStringLiteral("BEGIN IMMEDIATE")) ? QString() : begin.lastError().text();
    }

    QSqlDatabase addConnection(const DatabaseLocation &location, const QString &name, bool) const override
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(location.path);
        protectDatabaseFiles(location.path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        return db;
    }

    void configure(QSqlDatabase db) const override
    {
        QSqlQuery pragma(db);
        pragma.exec(QStringLiteral("PRAGMA foreign_keys = ON"));
        pragma.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
        // Once a checkpoint has caught up, the write-ahead log shrinks back to
        // this instead of keeping the largest size it ever reached.
        pragma.exec(QStringLiteral("PRAGMA journal_size_limit = %1").arg(kWalSizeLimitBytes));
        // WAL lets the request threads read while a status update writes.
        pragma.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
    }
};

} // namespace

const SqlEngine &sqliteEngine()
{
    static const SqliteEngine engine;
    return engine;
}

} // namespace vk
