#pragma once

#include "DatabaseLocation.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace vk {

// What differs between the two engines a library can live in. Everything else
// the portal says to its database is plain SQL that both understand.
class SqlEngine
{
public:
    virtual ~SqlEngine() = default;

    // The schema as numbered steps: step i brings a library from version i to
    // version i + 1. Both engines have the same number of steps, and a given
    // version means the same tables on either.
    virtual QList<QStringList> migrations() const = 0;

    // A condition comparing an address column with one bound value, without
    // regard to ASCII letter case.
    virtual QString sameAddress(const QString &column) const = 0;
    // An ORDER BY term that sorts text by its bytes, as SQLite always does.
    virtual QString byteOrder(const QString &column) const = 0;
    // Whether the database lets one writer in at a time. Writers of one
    // process then queue on a mutex of their own instead of on the
    // database's lock, whose busy wait sleeps in steps of many milliseconds.
    virtual bool oneWriterAtATime() const = 0;
    // Whether rate-limit counts live in the library, shared by every portal
    // process on it. A SQLite library is served by one process, which counts
    // in memory: a count written per request would make every user check
    // wait for the file's single write lock, which any admin command or
    // outside session may hold.
    virtual bool countsInLibrary() const = 0;
    // Starts an admin transaction that holds the write lock from its start.
    // Returns an error text, empty on success.
    virtual QString beginWrite(QSqlDatabase db) const = 0;

    // Makes (but does not open) a connection. A serving connection gives up
    // on a database that does not answer in time, so a request is refused
    // instead of hanging.
    virtual QSqlDatabase addConnection(const DatabaseLocation &location, const QString &name,
                                       bool serving) const = 0;
    // Settings that take effect once the connection is open.
    virtual void configure(QSqlDatabase db) const = 0;
};

const SqlEngine &sqliteEngine();
const SqlEngine &postgresEngine();
const SqlEngine &sqlEngine(Engine engine);

} // namespace vk
