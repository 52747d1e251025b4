#include "DemoCommand.h"

#include "AdminLibrary.h"
#include "CommandLine.h"
#include "DemoBooks.h"
#include "DemoCertificates.h"
#include "LibraryAdmin.h"
#include "LibraryCopy.h"
#include "SchemaMigrations.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

namespace vk {

namespace {

const QString kCompany = QStringLiteral("Velkarn Demo Press");
const QString kLapsedCompany = QStringLiteral("Lapsed Books Ltd");
const QString kCategory = QStringLiteral("Engineering");

struct DemoAccount
{
    QString email;
    QString password;
    QString company;
    bool active;
    bool online;
    QString note;
};

const QList<DemoAccount> kAccounts = {
    {QStringLiteral("reader@velkarn.example"), QStringLiteral("reader-pass-1"), kCompany, true, false,
     QStringLiteral("signs in")},
    {QStringLiteral("inactive@velkarn.example"), QStringLiteral("inactive-pass-2"), kCompany, false, false,
     QStringLiteral("refused: account inactive")},
    {QStringLiteral("lapsed@velkarn.example"), QStringLiteral("lapsed-pass-3"), kLapsedCompany, true, false,
     QStringLiteral("refused: company subscription lapsed")},
    {QStringLiteral("online@velkarn.example"), QStringLiteral("online-pass-4"), kCompany, true, true,
     QStringLiteral("refused: already signed in elsewhere")},
};

struct DemoBook
{
    QString company;
    QString name;
    int pages;
    QString password;
};

const QList<DemoBook> kBooks = {
    {kCompany, QStringLiteral("Getting Started"), 6, QString()},
    {kCompany, QStringLiteral("Field Manual"), 520, QStringLiteral("manual-7731")},
    {kCompany, QStringLiteral("Safety Notes"), 8, QStringLiteral("safety-2468")},
    {kLapsedCompany, QStringLiteral("Old Catalogue"), 4, QStringLiteral("catalogue-1357")},
};

void removeLibrary(const QString &databasePath)
{
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")})
        QFile::remove(databasePath + suffix);
    QDir(defaultStoreDir(databasePath)).removeRecursively();
}

void fail(const QString &error)
{
    if (!error.isEmpty())
        throw CommandError{error};
}

void buildLibrary(const QString &databasePath)
{
    {
        ScopedConnection connection(databasePath);
        if (!connection.isOpen())
            throw CommandError{QStringLiteral("cannot create %1: %2").arg(databasePath, connection.errorText())};
        fail(applyMigrations(connection.database(), connection.engine(), databasePath));
    }
    AdminLibrary library(CommandOptions({QStringLiteral("--db"), databasePath}, {QStringLiteral("db")}));
    addCompany(library, kCompany, true);
    addCompany(library, kLapsedCompany, false);
    for (const DemoAccount &account : kAccounts) {
        addUser(library, {account.email, account.company, kCategory, account.password, account.active});
        if (account.online)
            setUserOnline(library, account.email, true, QDateTime::currentMSecsSinceEpoch());
    }
    QTemporaryDir scratch;
    if (!scratch.isValid())
        throw CommandError{QStringLiteral("cannot create a scratch directory")};
    for (qsizetype i = 0; i < kBooks.size(); ++i) {
        const DemoBook &book = kBooks.at(i);
        const QString pdf = scratch.filePath(QString::number(i) + QStringLiteral(".pdf"));
        fail(writeDemoPdf(pdf, book.name, book.pages));
        NewBook entry;
        entry.company = book.company;
        entry.category = kCategory;
        entry.name = book.name;
        entry.file = pdf;
        entry.password = book.password;
        addBook(library, entry);
    }
}

// Puts the demo library built in SQLite into a PostgreSQL database, in place
// of what it held, in one transaction, with its books in DIR/books.
QString publishToPostgres(const QString &built, const QString &database, const QDir &dir)
{
    const QString store = dir.absoluteFilePath(QStringLiteral("books"));
    {
        const AdminLibrary from(CommandOptions({QStringLiteral("--db"), built}, {QStringLiteral("db")}));
        const ScopedConnection to(database);
        if (!to.isOpen())
            throw CommandError{QStringLiteral("cannot open %1: %2").arg(database, to.errorText())};
        fail(applyMigrations(to.database(), to.engine(), database));
        copyLibrary(from.database(), to.database(), to.engine(), CopyInto::Replacing);
    }
    QDir(store).removeRecursively();
    if (!QDir().rename(defaultStoreDir(built), store))
        throw CommandError{QStringLiteral("cannot move the demo books into %1").arg(store)};
    removeLibrary(built);
    return store;
}

} // namespace

void runDemo(const QStringList &args)
{
    const CommandOptions options(args, {QStringLiteral("dir"), QStringLiteral("db")});
    const QDir dir(options.required(QStringLiteral("dir")));
    if (!QDir().mkpath(dir.path()))
        throw CommandError{QStringLiteral("cannot create %1").arg(dir.path())};
    if (!demoCertificatesUsable(dir.path()))
        fail(makeDemoCertificates(dir.path()));

    // Built aside and moved in at the end: a failed run leaves the previous
    // demo library as it was.
    const QString databasePath = dir.absoluteFilePath(QStringLiteral("portal.db"));
    const QString partialPath = dir.absoluteFilePath(QStringLiteral("portal.db.partial"));
    removeLibrary(partialPath);
    try {
        buildLibrary(partialPath);
    } catch (const CommandError &) {
        removeLibrary(partialPath);
        throw;
    }
    QString library = databasePath;
    QString storeOption;
    if (options.has(QStringLiteral("db"))) {
        library = options.value(QStringLiteral("db"));
        try {
            storeOption = QStringLiteral(" --store ") + publishToPostgres(partialPath, library, dir);
        } catch (const CommandError &) {
            removeLibrary(partialPath);
            throw;
        }
    } else {
        removeLibrary(databasePath);
        if (!QFile::rename(partialPath, databasePath)
            || !QDir().rename(defaultStoreDir(partialPath), defaultStoreDir(databasePath)))
            throw CommandError{QStringLiteral("cannot move the demo library into place in %1").arg(dir.path())};
    }

    QString text;
    QTextStream out(&text);
    out << "demo library: " << library << '\n'
        << "start the portal:\n"
        << "  velkarn-portal serve --db " << library << storeOption << " --listen 127.0.0.1:8443 --cert "
        << dir.absoluteFilePath(QStringLiteral("server.pem")) << " --key "
        << dir.absoluteFilePath(QStringLiteral("server.key")) << '\n'
        << "URL: https://127.0.0.1:8443 (also https://localhost:8443)\n"
        << "CA file: " << dir.absoluteFilePath(QStringLiteral("ca.pem")) << '\n'
        << "accounts (address / password):\n";
    for (const DemoAccount &account : kAccounts)
        out << "  " << account.email << " / " << account.password << "  - " << account.note << '\n';
    out.flush();
    // Kept beside the library so that scripts can show it again later.
    QFile summary(dir.absoluteFilePath(QStringLiteral("demo.txt")));
    if (summary.open(QIODevice::WriteOnly | QIODevice::Truncate))
        summary.write(text.toUtf8());
    QTextStream(stdout) << text;
}

} // namespace vk
