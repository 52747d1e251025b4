#include "LibraryCopy.h"

#include "CommandLine.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace vk {

namespace {

[[noreturn]] void fail(const QSqlQuery &query)
{
    throw CommandError{QStringLiteral("database error: %1").arg(query.lastError().text())};
}

QSqlQuery read(QSqlDatabase db, const QString &sql)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql))
        fail(query);
    return query;
}

// Rows of `from` in id order, each written to `to` with the values that
// `columns` picks from it.
class RowWriter
{
public:
    RowWriter(QSqlDatabase to, const QString &sql)
        : m_query(to)
    {
        if (!m_query.prepare(sql))
            fail(m_query);
    }

    void write(const QVariantList &values)
    {
        for (qsizetype i = 0; i < values.size(); ++i)
            m_query.bindValue(int(i), values.at(i));
        if (!m_query.exec())
            fail(m_query);
    }

private:
    QSqlQuery m_query;
};

qint64 rowCount(QSqlDatabase db, const QString &table)
{
    QSqlQuery query = read(db, QStringLiteral("SELECT COUNT(*) FROM %1").arg(table));
    query.next();
    return query.value(0).toLongLong();
}

} // namespace

CopiedRows copyLibrary(QSqlDatabase from, QSqlDatabase to, const SqlEngine &toEngine, CopyInto mode)
{
    const QStringList tables = {QStringLiteral("books"), QStringLiteral("users"), QStringLiteral("companies")};
    for (const QString &table : tables) {
        if (mode == CopyInto::EmptyOnly && rowCount(to, table) > 0)
            throw CommandError{QStringLiteral("the target already holds a library; migrate copies only into an empty one")};
    }
    const QString beginError = toEngine.beginWrite(to);
    if (!beginError.isEmpty())
        throw CommandError{QStringLiteral("database error: %1").arg(beginError)};
    try {
        for (const QString &table : tables) {
            if (mode == CopyInto::Replacing)
                read(to, QStringLiteral("DELETE FROM %1").arg(table));
        }
        CopiedRows copied;
        QHash<qint64, qint64> companyIds;
        {
            RowWriter writer(to, QStringLiteral("INSERT INTO companies (name, active) VALUES (?, ?)"));
            QSqlQuery rows = read(from, QStringLiteral("SELECT id, name, active FROM companies ORDER BY id"));
            while (rows.next()) {
                writer.write({rows.value(1).toString(), rows.value(2).toInt()});
                ++copied.companies;
            }
            QSqlQuery oldIds = read(from, QStringLiteral("SELECT id, name FROM companies"));
            QHash<QString, qint64> byName;
            QSqlQuery newIds = read(to, QStringLiteral("SELECT id, name FROM companies"));
            while (newIds.next())
                byName.insert(newIds.value(1).toString(), newIds.value(0).toLongLong());
            while (oldIds.next())
                companyIds.insert(oldIds.value(0).toLongLong(), byName.value(oldIds.value(1).toString()));
        }
        {
            RowWriter writer(to, QStringLiteral("INSERT INTO users (email, company_id, category, password, active,"
                                                " online, online_at_ms) VALUES (?, ?, ?, ?, ?, ?, ?)"));
            QSqlQuery rows = read(from, QStringLiteral("SELECT email, company_id, category, password, active, online,"
                                                       " online_at_ms FROM users ORDER BY id"));
            while (rows.next()) {
                writer.write({rows.value(0).toString(), companyIds.value(rows.value(1).toLongLong()),
                              rows.value(2).toString(), rows.value(3).toString(), rows.value(4).toInt(),
                              rows.value(5).toInt(), rows.value(6).toLongLong()});
                ++copied.users;
            }
        }
        {
            // In id order, so books that share a position keep their order.
            RowWriter writer(to, QStringLiteral("INSERT INTO books (company_id, category, name, position, token,"
                                                " file, url, password) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
            QSqlQuery rows = read(from, QStringLiteral("SELECT company_id, category, name, position, token, file,"
                                                       " url, password FROM books ORDER BY id"));
            while (rows.next()) {
                writer.write({companyIds.value(rows.value(0).toLongLong()), rows.value(1).toString(),
                              rows.value(2).toString(), rows.value(3).toLongLong(), rows.value(4).toString(),
                              rows.value(5), rows.value(6), rows.value(7).toString()});
                ++copied.books;
            }
        }
        if (!to.commit())
            throw CommandError{QStringLiteral("database error: %1").arg(to.lastError().text())};
        return copied;
    } catch (const CommandError &) {
        to.rollback();
        throw;
    }
}

} // namespace vk
