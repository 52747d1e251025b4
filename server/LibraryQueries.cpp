#include "LibraryQueries.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace vk {

namespace {

constexpr qint64 kMinuteMs = 60 * 1000;

QueryStatus run(QSqlQuery &query, const QVariantList &values)
{
    for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(int(i), values.at(i));
    if (query.exec())
        return {true, {}};
    return {false, query.lastError().text()};
}

} // namespace

std::optional<AccountRecord> findAccount(Statements &statements, const QString &email, qint64 nowMs,
                                         qint64 onlineTtlMs, QueryStatus *status)
{
    QSqlQuery query = statements.prepared(
        QStringLiteral("SELECT u.online, u.online_at_ms, u.active, c.active, c.name, u.category, u.password"
                       " FROM users u JOIN companies c ON c.id = u.company_id WHERE ")
        + statements.engine().sameAddress(QStringLiteral("u.email")));
    *status = run(query, {email});
    if (!status->ok || !query.next()) {
        query.finish();
        return std::nullopt;
    }
    AccountRecord account;
    const qint64 onlineAt = query.value(1).toLongLong();
    account.online = query.value(0).toInt() != 0 && nowMs - onlineAt < onlineTtlMs;
    account.active = query.value(2).toInt() != 0;
    account.companyActive = query.value(3).toInt() != 0;
    account.company = query.value(4).toString();
    account.category = query.value(5).toString();
    account.password = query.value(6).toString();
    query.finish();
    return account;
}

QList<StoredBook> findBooks(Statements &statements, const QString &company, const QString &category,
                            QueryStatus *status)
{
    QSqlQuery query = statements.prepared(QStringLiteral(
        "SELECT b.name, b.token, b.url, b.password FROM books b"
        " JOIN companies c ON c.id = b.company_id"
        " WHERE c.name = ? AND c.active <> 0 AND b.category = ?"
        " ORDER BY b.position, b.id"));
    QList<StoredBook> books;
    *status = run(query, {company, category});
    while (status->ok && query.next()) {
        books.append({query.value(0).toString(), query.value(1).toString(),
                      query.value(2).toString(), query.value(3).toString()});
    }
    query.finish();
    return books;
}

bool recordOnline(Statements &statements, const QString &email, bool online, qint64 nowMs, QueryStatus *status)
{
    QSqlQuery query = statements.prepared(QStringLiteral("UPDATE users SET online = ?, online_at_ms = ? WHERE ")
                                          + statements.engine().sameAddress(QStringLiteral("email")));
    *status = run(query, {online ? 1 : 0, nowMs, email});
    const bool recorded = status->ok && query.numRowsAffected() > 0;
    query.finish();
    return recorded;
}

QString findBookFile(Statements &statements, const QString &token, QueryStatus *status)
{
    QSqlQuery query = statements.prepared(QStringLiteral("SELECT file FROM books WHERE token = ? AND file IS NOT NULL"));
    *status = run(query, {token});
    const QString file = status->ok && query.next() ? query.value(0).toString() : QString();
    query.finish();
    return file;
}

bool admitEvent(Statements &statements, const QString &kind, const QString &client, int perMinute, qint64 nowMs,
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
    QSqlQuery query = statements.prepared(
        QStringLiteral("INSERT INTO rate_counts (kind, client, minute, count)"
                       " SELECT CAST(? AS TEXT), CAST(? AS TEXT), CAST(? AS BIGINT), 1 WHERE ")
        + previous.arg(QStringLiteral("?"), QStringLiteral("?"), QStringLiteral("?"))
        + QStringLiteral(" * CAST(? AS BIGINT) <= (CAST(? AS BIGINT) - 1) * 60000"
                         " ON CONFLICT (kind, client, minute) DO UPDATE SET count = rate_counts.count + 1 WHERE ")
        + previous.arg(QStringLiteral("excluded.kind"), QStringLiteral("excluded.client"),
                       QStringLiteral("excluded.minute - 1"))
        + QStringLiteral(" * CAST(? AS BIGINT) <= (CAST(? AS BIGINT) - rate_counts.count - 1) * 60000"));
    *status = run(query, {kind, client, minute, kind, client, minute - 1, remainingMs, perMinute, remainingMs,
                          perMinute});
    const bool admitted = status->ok && query.numRowsAffected() > 0;
    query.finish();
    return admitted;
}

void forgetOldCounts(Statements &statements, qint64 nowMs)
{
    QSqlQuery query = statements.prepared(QStringLiteral("DELETE FROM rate_counts WHERE minute < ?"));
    run(query, {nowMs / kMinuteMs - 1});
    query.finish();
}

} // namespace vk
