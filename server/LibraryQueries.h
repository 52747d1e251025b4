#pragma once

#include "PortalAnswers.h"
#include "Statements.h"

#include <QList>
#include <QString>

#include <optional>

namespace vk {

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
std::optional<AccountRecord> findAccount(Statements &statements, const QString &email, qint64 nowMs,
                                         qint64 onlineTtlMs, QueryStatus *status);

// The books of an active company's category, in the admin's order.
QList<StoredBook> findBooks(Statements &statements, const QString &company, const QString &category,
                            QueryStatus *status);

// Returns whether an account with that address exists (and was updated).
bool recordOnline(Statements &statements, const QString &email, bool online, qint64 nowMs, QueryStatus *status);

// Counts one event of a kind ("user", "status") from a client, unless the
// client has had perMinute of them in the last minute; refused events are not
// counted. The counts live in the library, so every portal process serving
// it enforces one limit together. The last minute is estimated from the
// counts of this calendar minute and of the previous one, the latter weighed
// by the part of it still inside the minute.
bool admitEvent(Statements &statements, const QString &kind, const QString &client, int perMinute, qint64 nowMs,
                QueryStatus *status);

// Drops the counts that no longer weigh in.
void forgetOldCounts(Statements &statements, qint64 nowMs);

// The store file name of a stored book, empty when the token names none.
QString findBookFile(Statements &statements, const QString &token, QueryStatus *status);

} // namespace vk
