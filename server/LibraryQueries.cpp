#include "LibraryQueries.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

QueryStatus run(QSqlQuery &query)
{
    if (query.exec())
        return {true, {}};
    return {false, query.lastError().text()};
}

} // namespace

std::optional<AccountRecord> findAccount(QSqlDatabase db, const QString &email, qint64 nowMs,
                                         qint64 onlineTtlMs, QueryStatus *status)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral(
        "SELECT u.online, u.online_at_ms, u.active, c.active, c.name, u.category, u.password"
        " FROM users u JOIN companies c ON c.id = u.company_id WHERE u.email = ?"));
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

bool recordOnline(QSqlDatabase db, const QString &email, bool online, qint64 nowMs, QueryStatus *status)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE users SET online = ?, online_at_ms = ? WHERE email = ?"));
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
