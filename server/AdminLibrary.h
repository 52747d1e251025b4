#pragma once

#include "PortalDatabase.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

namespace vk {

class CommandOptions;

// An existing library opened for an admin command (--db, --store). Every
// failing statement throws CommandError with the reason.
class AdminLibrary
{
public:
    explicit AdminLibrary(const CommandOptions &options);

    QSqlDatabase database() const;
    const SqlEngine &engine() const;
    // Empty for a PostgreSQL library given no --store.
    QString storeDir() const;
    // The store, or a CommandError when there is none to use.
    QString requireStoreDir() const;

    QSqlQuery run(const QString &sql, const QVariantList &values = {});
    // The id of the named company; throws when there is none.
    qint64 companyId(const QString &name);

    // Takes the write lock at once: the slow work of a command (reading and
    // encrypting a book) belongs before it, so that it is held briefly.
    void begin();
    void commit();

private:
    ScopedConnection m_connection;
    QString m_storeDir;
};

// Holds a transaction open until commit(); rolls it back if left earlier.
class AdminTransaction
{
public:
    explicit AdminTransaction(AdminLibrary &library);
    ~AdminTransaction();
    void commit();

private:
    AdminLibrary &m_library;
    bool m_done = false;
};

// The database option, after making sure a SQLite file is not created by a typo.
// Throws CommandError.
QString existingDatabasePath(const CommandOptions &options);

} // namespace vk
