#pragma once

#include <QSqlDatabase>
#include <QString>

// The library lives in one SQLite file (another QtSql driver can be named with
// a "driver:" prefix, e.g. "QPSQL:dbname=velkarn"). QtSql connections belong to
// the thread that opened them, so every thread gets its own, named after it.

// Where the book files live unless --store says otherwise: beside the database.
QString defaultStoreDir(const QString &databasePath);

// Opens (and for SQLite creates) the database on the calling thread under a
// unique connection name; removes the connection when it goes out of scope.
class ScopedConnection
{
public:
    explicit ScopedConnection(const QString &databasePath);
    ~ScopedConnection();
    ScopedConnection(const ScopedConnection &) = delete;
    ScopedConnection &operator=(const ScopedConnection &) = delete;

    bool isOpen() const;
    QString errorText() const;
    QSqlDatabase database() const;

private:
    QString _name;
};

// The calling thread's own connection, opened on first use and kept for the
// life of the thread.
QSqlDatabase threadConnection(const QString &databasePath);

// Creates the tables if they are missing. Returns an error text, empty on success.
QString createSchema(QSqlDatabase db);

// True when the tables of a portal library are present.
bool hasSchema(QSqlDatabase db);

// Whether the library answers a read now, on a read-only connection of its
// own: the request threads' connections keep a removed or replaced SQLite
// file open and go on answering from it, and a missing file must be reported,
// not created. Returns the database's error text, empty when it answered.
QString pingDatabase(const QString &databasePath);
