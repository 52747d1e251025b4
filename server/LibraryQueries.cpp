#include "LibraryQueries.h"

#include <QSqlQuery>
#include <QVariant>

std::optional<AccountRecord> findAccount(QSqlDatabase db, const QString &email, qint64 nowMs,
                                         qint64 onlineTtlMs, bool *ok)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral(
        "SELECT u.online, u.online_at_ms, u.active, c.active, c.name, u.category, u.password"
        " FROM users u JOIN companies c ON c.id = u.company_id WHERE u.email = ?"));
    query.addBindValue(email);
    *ok = query.exec();
    if (!*ok || !query.next())
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
                            bool *ok)
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
    *ok = query.exec();
    while (*ok && query.next()) {
        books.append({query.value(0).toString(), query.value(1).toString(),
                      query.value(2).toString(), query.value(3).toString()});
    }
    return books;
}

bool recordOnline(QSqlDatabase db, const QString &email, bool online, qint64 nowMs, bool *ok)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE users SET online = ?, online_at_ms = ? WHERE email = ?"));
    query.addBindValue(online ? 1 : 0);
    query.addBindValue(nowMs);
    query.addBindValue(email);
    *ok = query.exec();
    return *ok && query.numRowsAffected() > 0;
}

QString findBookFile(QSqlDatabase db, const QString &token, bool *ok)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT file FROM books WHERE token = ? AND file IS NOT NULL"));
    query.addBindValue(token);
    *ok = query.exec();
    if (!*ok || !query.next())
        return {};
    return query.value(0).toString();
}
