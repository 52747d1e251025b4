#pragma once

#include "PortalAnswers.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <optional>

// The reads and writes the portal makes while answering. Every value is bound,
// never spliced into SQL. A failed statement is reported through `status`, so
// the caller can answer "unavailable" instead of a wrong "no such user", and
// log the database's reason.

struct QueryStatus
{
    bool ok = false;
    QString error; // the database's text when a statement failed
};

struct StoredBook
{
    QString name;
    QString token;
    QString url; // external location; empty for a book in the store
    QString password;
};

// The account of an address; its online flag counts only while it is younger
// than onlineTtlMs.
std::optional<AccountRecord> findAccount(QSqlDatabase db, const QString &email, qint64 nowMs,
                                         qint64 onlineTtlMs, QueryStatus *status);

// The books of an active company's category, in the admin's order.
QList<StoredBook> findBooks(QSqlDatabase db, const QString &company, const QString &category,
                            QueryStatus *status);

// Returns whether an account with that address exists (and was updated).
bool recordOnline(QSqlDatabase db, const QString &email, bool online, qint64 nowMs, QueryStatus *status);

// The store file name of a stored book, empty when the token names none.
QString findBookFile(QSqlDatabase db, const QString &token, QueryStatus *status);
