#include "LibraryQueries.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

constexpr qint64 kMinuteMs = 60 * 1000;

QueryStatus run(QSqlQuery &query)
{
    if (query.exec())
        return {true, {}};
    return {false, query.lastError().text()};
}

} // namespace

std::optional<AccountRecord> findAccount(QSqlDatabase db, const SqlEngine &engine, const QString &email,
                                         qint64 nowMs, qint64 onlineTtlMs, QueryStatus *status)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral(
        "SELECT u.online, u.online_at_ms, u.active, c.active, c.name, u.category, u.password"
        " FROM users u JOIN companies c ON c.id = u.company_id WHERE ")
        + engine.sameAddress(QStringLiteral("u.email")));
    query.addBindValue(email);
    *status = run(query);
    if (!status->ok || !query.next())
        return std::nullopt;
    AccountRecord account;
    const qint64 onlineAt = query.value(1).toLongLong();
    account.online = query.value(0).toInt() != 0 && nowMs - onlineAt < onlineTtlMs;
    account.active = query.value(2).toInt() != 0;
    account.companyActive = query.value(3).toInt() != 0;
    account.company = query.value(4).toString();
    account.category = query.value(5).toString();
    account.password = query.value(6).toString();
    return account;
}

QList<StoredBook> findBooks(QSqlDatabase db, const QString &company, const QString &category,
                            QueryStatus *status)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral(
        "SELECT b.name, b.token, b.url, b.password FROM books b"
        " JOIN companies c ON c.id = b.company_id"
        " WHERE c.name = ? AND c.active <> 0 AND b.category = ?"
        " ORDER BY b.position, b.id"));
    query.addBindValue(company);
    query.addBindValue(category);
    QList<StoredBook> books;
    *status = run(query);
    while (status->ok && query.next()) {
        books.append({query.value(0).toString(), query.value(1).toString(),
                      query.value(2).toString(), query.value(3).toString()});
    }
    return books;
}

bool recordOnline(QSqlDatabase db, const SqlEngine &engine, const QString &email, bool online, qint64 nowMs,
                  QueryStatus *status)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE users SET online = ?, online_at_ms = ? WHERE ")
                  + engine.sameAddress(QStringLiteral("email")));
    query.addBindValue(online ? 1 : 0);
    query.addBindValue(nowMs);
    query.addBindValue(email);
    *status = run(query);
    return status->ok && query.numRowsAffected() > 0;
}

QString findBookFile(QSqlDatabase db, const QString &token, QueryStatus *status)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT file FROM books WHERE token = ? AND file IS NOT NULL"));
    query.addBindValue(token);
    *status = run(query);
    if (!status->ok || !query.next())
        return {};
    return query.value(0).toString();
}

bool admitEvent(QSqlDatabase db, const QString &kind, const QString &client, int perMinute, qint64 nowMs,
                QueryStatus *status)
{
    // With p events in the previous minute, of which the share r / 60000 is
    // still inside the last minute, and c in this one, an event is admitted
    // while c + ceil(p * r / 60000) < perMinute, in whole numbers:
    // p * r <= (perMinute - c - 1) * 60000, in 64 bits for any limit a
    // command line can set. One statement, so that two
    // processes counting at once cannot both take the last place.
    const qint64 minute = nowMs / kMinuteMs;
    const qint64 remainingMs = kMinuteMs - nowMs % kMinuteMs;
    const QString previous = QStringLiteral(
        "COALESCE((SELECT p.count FROM rate_counts p WHERE p.kind = %1 AND p.client = %2 AND p.minute = %3), 0)");
    QSqlQuery query(db);
    query.prepare(
        QStringLiteral("INSERT INTO rate_counts (kind, client, minute, count)"
                       " SELECT CAST(? AS TEXT), CAST(? AS TEXT), CAST(? AS BIGINT), 1 WHERE ")
        + previous.arg(QStringLiteral("?"), QStringLiteral("?"), QStringLiteral("?"))
        + QStringLiteral(" * CAST(? AS BIGINT) <= (CAST(? AS BIGINT) - 1) * 60000"
                         " ON CONFLICT (kind, client, minute) DO UPDATE SET count = rate_counts.count + 1 WHERE ")
        + previous.arg(QStringLiteral("excluded.kind"), QStringLiteral("excluded.client"),
                       QStringLiteral("excluded.minute - 1"))
        + QStringLiteral(" * CAST(? AS BIGINT) <= (CAST(? AS BIGINT) - rate_counts.count - 1) * 60000"));
    for (const QVariant &value : {QVariant(kind), QVariant(client), QVariant(minute), QVariant(kind),
                                  QVariant(client), QVariant(minute - 1), QVariant(remainingMs),
                                  QVariant(perMinute), QVariant(remainingMs), QVariant(perMinute)})
        query.addBindValue(value);
    *status = run(query);
    return status->ok && query.numRowsAffected() > 0;
}

void forgetOldCounts(QSqlDatabase db, qint64 nowMs)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("DELETE FROM rate_counts WHERE minute < ?"));
    query.addBindValue(nowMs / kMinuteMs - 1);
    query.exec();
}
