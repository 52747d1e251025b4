#pragma once

#include "DatabaseLocation.h"
#include "SqlEngine.h"
#include "Statements.h"

#include <QSqlDatabase>
#include <QString>

namespace vk {

// A library lives in one SQLite file, or in a PostgreSQL database that
// several portal processes share (see DatabaseLocation). QtSql connections
// belong to the thread that opened them, so every thread gets its own, under
// a name of its own.

// Where the book files live unless --store says otherwise: beside a SQLite
// file. A PostgreSQL library has no such place; empty.
QString defaultStoreDir(const QString &database);

// Opens (and for SQLite creates) the database on the calling thread; removes
// the connection when it goes out of scope. Throws CommandError for a --db
// value that names no engine we take.
class ScopedConnection : public Statements
{
public:
    explicit ScopedConnection(const QString &database);
    ~ScopedConnection() override;
    ScopedConnection(const ScopedConnection &) = delete;
    ScopedConnection &operator=(const ScopedConnection &) = delete;

    bool isOpen() const;
    QString errorText() const;
    QSqlDatabase database() const;
    const SqlEngine &engine() const override;
    QSqlQuery prepared(const QString &sql) override;

private:
    const SqlEngine &m_engine;
    QString m_name;
};

// The library a serving process answers from: each thread that asks gets a
// connection of its own, kept for the life of the thread, and a fresh one
// after a failure, so the portal serves again once the database is back.
class PortalDatabase : public Statements
{
public:
    // Throws CommandError.
    explicit PortalDatabase(const QString &database);
    PortalDatabase(const PortalDatabase &) = delete;
    PortalDatabase &operator=(const PortalDatabase &) = delete;

    const SqlEngine &engine() const override { return m_engine; }
    // Kept prepared on the calling thread's connection until it is dropped.
    QSqlQuery prepared(const QString &sql) override;
    // The calling thread's connection, opened when it has none or lost it.
    QSqlDatabase connection();
    // Whether the calling thread holds a connection that was open, which a
    // database restart may have dropped without its knowing.
    bool hasConnection() const;
    // Drops the calling thread's connection after a failed statement.
    void discardConnection();
    // Whether the database answers a trivial query, on the calling thread's
    // connection; the reason in `error` when it does not.
    bool ping(QString *error = nullptr);
    // For the health check: empty when the library answers a read now, else
    // the database's reason. SQLite is asked on a connection of its own (see
    // the definition); PostgreSQL on the calling thread's.
    QString health();

private:
    const DatabaseLocation m_location;
    const SqlEngine &m_engine;
    const quint64 m_id;
};

} // namespace vk
