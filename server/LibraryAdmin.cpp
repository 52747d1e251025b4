#include "LibraryAdmin.h"

#include "BookStore.h"
#include "CommandLine.h"
#include "NameRules.h"

#include <QVariant>

namespace vk {

namespace {

void require(const QString &problem)
{
    if (!problem.isEmpty())
        throw CommandError{problem};
}

// Changes the one row named by what; an unknown name changes nothing.
void updateOneRow(AdminLibrary &library, const QString &sql, const QVariantList &values, const QString &what)
{
    AdminTransaction transaction(library);
    if (library.run(sql, values).numRowsAffected() < 1)
        throw CommandError{QStringLiteral("unknown %1").arg(what)};
    transaction.commit();
}

// The company's id, when the shelf has no book of this name yet.
qint64 checkNewBookSlot(AdminLibrary &library, const NewBook &book)
{
    const qint64 companyId = library.companyId(book.company);
    if (library.run(QStringLiteral("SELECT 1 FROM books WHERE company_id = ? AND category = ? AND name = ?"),
                    {companyId, book.category, book.name})
            .next())
        throw CommandError{QStringLiteral("book \"%1\" exists already in %2 / %3")
                               .arg(book.name, book.company, book.category)};
    return companyId;
}

} // namespace

void addCompany(AdminLibrary &library, const QString &name, bool active)
{
    require(checkCompanyName(name));
    AdminTransaction transaction(library);
    if (library.run(QStringLiteral("SELECT 1 FROM companies WHERE name = ?"), {name}).next())
        throw CommandError{QStringLiteral("company \"%1\" exists already").arg(name)};
    library.run(QStringLiteral("INSERT INTO companies (name, active) VALUES (?, ?)"), {name, active ? 1 : 0});
    transaction.commit();
}

void setCompanyActive(AdminLibrary &library, const QString &name, bool active)
{
    updateOneRow(library, QStringLiteral("UPDATE companies SET active = ? WHERE name = ?"),
                 {active ? 1 : 0, name}, QStringLiteral("company \"%1\"").arg(name));
}

void addUser(AdminLibrary &library, const NewUser &user)
{
    require(checkAddress(user.email));
    require(checkPlainName(QStringLiteral("category"), user.category));
    require(checkAccountPassword(user.password));
    AdminTransaction transaction(library);
    const qint64 companyId = library.companyId(user.company);
    if (library.run(QStringLiteral("SELECT 1 FROM users WHERE ") + library.engine().sameAddress(QStringLiteral("email")),
                    {user.email})
            .next())
        throw CommandError{QStringLiteral("user \"%1\" exists already").arg(user.email)};
    library.run(QStringLiteral("INSERT INTO users (email, company_id, category, password, active)"
                               " VALUES (?, ?, ?, ?, ?)"),
                {user.email, companyId, user.category, user.password, user.active ? 1 : 0});
    transaction.commit();
}

void setUserPassword(AdminLibrary &library, const QString &email, const QString &password)
{
    require(checkAccountPassword(password));
    updateOneRow(library, QStringLiteral("UPDATE users SET password = ? WHERE ") + library.engine().sameAddress(QStringLiteral("email")),
                 {password, email}, QStringLiteral("user \"%1\"").arg(email));
}

void setUserActive(AdminLibrary &library, const QString &email, bool active)
{
    updateOneRow(library, QStringLiteral("UPDATE users SET active = ? WHERE ") + library.engine().sameAddress(QStringLiteral("email")),
                 {active ? 1 : 0, email}, QStringLiteral("user \"%1\"").arg(email));
}

void setUserOnline(AdminLibrary &library, const QString &email, bool online, qint64 atMs)
{
    updateOneRow(library,
                 QStringLiteral("UPDATE users SET online = ?, online_at_ms = ? WHERE ")
                     + library.engine().sameAddress(QStringLiteral("email")),
                 {online ? 1 : 0, atMs, email}, QStringLiteral("user \"%1\"").arg(email));
}

void addBook(AdminLibrary &library, const NewBook &book)
{
    require(checkPlainName(QStringLiteral("category"), book.category));
    require(checkPlainName(QStringLiteral("book name"), book.name));
    if (book.file.isEmpty() == book.url.isEmpty())
        throw CommandError{QStringLiteral("give either --file or --url")};
    if (!book.url.isEmpty())
        require(checkBookUrl(book.url));
    if (!book.password.isEmpty())
        require(checkBookPassword(book.password));

    // Checked once before the slow copy, for a quick refusal, and again under
    // the write lock, where the answer counts.
    checkNewBookSlot(library, book);
    const QString token = newBookToken();
    const std::unique_ptr<StagedBookFile> stored =
        book.file.isEmpty() ? nullptr : storeBookFile(library.requireStoreDir(), token, book.file, book.password);

    AdminTransaction transaction(library);
    const qint64 companyId = checkNewBookSlot(library, book);
    qint64 position = 0;
    if (book.position) {
        position = *book.position;
    } else {
        QSqlQuery last = library.run(
            QStringLiteral("SELECT COALESCE(MAX(position), 0) FROM books WHERE company_id = ? AND category = ?"),
            {companyId, book.category});
        last.next();
        position = last.value(0).toLongLong() + 1;
    }
    library.run(QStringLiteral("INSERT INTO books (company_id, category, name, position, token, file, url, password)"
                               " VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                {companyId, book.category, book.name, position, token,
                 stored ? QVariant(stored->fileName()) : QVariant(),
                 book.url.isEmpty() ? QVariant() : QVariant(book.url),
                 book.password.isEmpty() ? QVariant(QStringLiteral("")) : QVariant(book.password)});
    transaction.commit();
    if (stored)
        stored->keep();
}

void removeBook(AdminLibrary &library, const QString &company, const QString &category,
                const QString &name)
{
    AdminTransaction transaction(library);
    const qint64 companyId = library.companyId(company);
    QSqlQuery found = library.run(
        QStringLiteral("SELECT id, file FROM books WHERE company_id = ? AND category = ? AND name = ?"),
        {companyId, category, name});
    if (!found.next())
        throw CommandError{QStringLiteral("unknown book \"%1\" in %2 / %3").arg(name, company, category)};
    const qint64 id = found.value(0).toLongLong();
    const QString fileName = found.value(1).toString();
    found.finish();
    if (!fileName.isEmpty())
        library.requireStoreDir();
    library.run(QStringLiteral("DELETE FROM books WHERE id = ?"), {id});
    transaction.commit();
    // Only once the row is gone: a failed delete must not lose the file.
    removeStoredBookFile(library.storeDir(), fileName);
}

} // namespace vk
