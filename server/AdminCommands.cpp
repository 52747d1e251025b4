#include "AdminCommands.h"

#include "AdminLibrary.h"
#include "CommandLine.h"
#include "LibraryAdmin.h"
#include "LibraryCopy.h"
#include "SchemaMigrations.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTextStream>
#include <QVariant>

namespace vk {

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QString yesNo(const QVariant &v)
{
    return v.toInt() != 0 ? QStringLiteral("Y") : QStringLiteral("N");
}

// Splits "add --name X" into the action and its options.
QString takeAction(const QStringList &args, const QString &command, const QStringList &actions,
                   QStringList *rest)
{
    if (args.isEmpty() || !actions.contains(args.first()))
        throw CommandError{QStringLiteral("usage: velkarn-portal %1 %2 --db FILE ...")
                               .arg(command, actions.join(QLatin1Char('|')))};
    *rest = args.mid(1);
    return args.first();
}

void listCompanies(AdminLibrary &library)
{
    QSqlQuery query = library.run(
        QStringLiteral("SELECT c.name, c.active, (SELECT COUNT(*) FROM users u WHERE u.company_id = c.id),"
                       " (SELECT COUNT(*) FROM books b WHERE b.company_id = c.id) FROM companies c ORDER BY ")
        + library.engine().byteOrder(QStringLiteral("c.name")));
    out() << "company\tactive\tusers\tbooks\n";
    while (query.next()) {
        out() << query.value(0).toString() << '\t' << yesNo(query.value(1)) << '\t'
              << query.value(2).toLongLong() << '\t' << query.value(3).toLongLong() << '\n';
    }
}

void listUsers(AdminLibrary &library)
{
    QSqlQuery query = library.run(
        QStringLiteral("SELECT u.email, c.name, u.category, u.active, u.online, u.online_at_ms"
                       " FROM users u JOIN companies c ON c.id = u.company_id ORDER BY ")
        + library.engine().byteOrder(QStringLiteral("c.name")) + QStringLiteral(", ")
        + library.engine().byteOrder(QStringLiteral("u.email")));
    out() << "email\tcompany\tcategory\tactive\tonline since (UTC)\n";
    while (query.next()) {
        const bool online = query.value(4).toInt() != 0;
        const QString since = online
            ? QDateTime::fromMSecsSinceEpoch(query.value(5).toLongLong(), Qt::UTC).toString(Qt::ISODate)
            : QStringLiteral("-");
        out() << query.value(0).toString() << '\t' << query.value(1).toString() << '\t'
              << query.value(2).toString() << '\t' << yesNo(query.value(3)) << '\t' << since << '\n';
    }
}

void listBooks(AdminLibrary &library, const CommandOptions &options)
{
    QSqlQuery query = library.run(
        QStringLiteral("SELECT c.name, b.category, b.position, b.name, b.file, b.url, b.password <> ''"
                       " FROM books b JOIN companies c ON c.id = b.company_id"
                       " WHERE (COALESCE(?, '') = '' OR c.name = ?) AND (COALESCE(?, '') = '' OR b.category = ?)"
                       " ORDER BY ")
            + library.engine().byteOrder(QStringLiteral("c.name")) + QStringLiteral(", ")
            + library.engine().byteOrder(QStringLiteral("b.category")) + QStringLiteral(", b.position, b.id"),
        {options.value(QStringLiteral("company")), options.value(QStringLiteral("company")),
         options.value(QStringLiteral("category")), options.value(QStringLiteral("category"))});
    out() << "company\tcategory\tposition\tname\tpassword\tsource\n";
    while (query.next()) {
        const QString source = query.value(5).toString().isEmpty()
            ? QStringLiteral("store:") + query.value(4).toString()
            : query.value(5).toString();
        out() << query.value(0).toString() << '\t' << query.value(1).toString() << '\t'
              << query.value(2).toLongLong() << '\t' << query.value(3).toString() << '\t'
              << yesNo(query.value(6)) << '\t' << source << '\n';
    }
}

qint64 positionValue(const QString &text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok)
        throw CommandError{QStringLiteral("--position takes a whole number, not \"%1\"").arg(text)};
    return value;
}

// Opens a library, made when missing, with the schema steps it lacks applied.
void openUpToDate(const ScopedConnection &connection, const QString &path)
{
    if (!connection.isOpen())
        throw CommandError{QStringLiteral("cannot open %1: %2").arg(path, connection.errorText())};
    const QString error = applyMigrations(connection.database(), connection.engine(), path);
    if (!error.isEmpty())
        throw CommandError{QStringLiteral("cannot bring the tables of %1 up to date: %2").arg(path, error)};
}

} // namespace

void runInit(const QStringList &args)
{
    const CommandOptions options(args, {QStringLiteral("db")});
    const QString path = options.required(QStringLiteral("db"));
    const ScopedConnection connection(path);
    openUpToDate(connection, path);
    out() << "library ready at " << path << '\n';
}

void runMigrate(const QStringList &args)
{
    const CommandOptions options(args, {QStringLiteral("from"), QStringLiteral("to")});
    const QString fromPath = options.required(QStringLiteral("from"));
    const QString toPath = options.required(QStringLiteral("to"));
    if (fromPath == toPath)
        throw CommandError{QStringLiteral("--from and --to name the same library")};
    const AdminLibrary from(CommandOptions({QStringLiteral("--db"), fromPath}, {QStringLiteral("db")}));
    const ScopedConnection to(toPath);
    openUpToDate(to, toPath);
    const CopiedRows copied = copyLibrary(from.database(), to.database(), to.engine());
    out() << "copied " << copied.companies << " companies, " << copied.users << " users and " << copied.books
          << " books from " << fromPath << " to " << toPath << "; the book files stay in "
          << (from.storeDir().isEmpty() ? QStringLiteral("their store") : from.storeDir())
          << " (give it as --store)\n";
}

void runCompanyCommand(const QStringList &args)
{
    QStringList rest;
    const QString action = takeAction(args, QStringLiteral("company"),
                                      {QStringLiteral("add"), QStringLiteral("list"), QStringLiteral("set-active")}, &rest);
    const CommandOptions options(rest, {QStringLiteral("db"), QStringLiteral("store"),
                                        QStringLiteral("name"), QStringLiteral("active")});
    AdminLibrary library(options);
    if (action == QStringLiteral("list"))
        return listCompanies(library);
    const QString name = options.required(QStringLiteral("name"));
    if (action == QStringLiteral("add")) {
        addCompany(library, name, options.yesNo(QStringLiteral("active"), true));
        out() << "company \"" << name << "\" added\n";
    } else {
        if (!options.has(QStringLiteral("active")))
            throw CommandError{QStringLiteral("option --active (Y or N) is required")};
        setCompanyActive(library, name, options.yesNo(QStringLiteral("active"), true));
        out() << "company \"" << name << "\" updated\n";
    }
}

void runUserCommand(const QStringList &args)
{
    QStringList rest;
    const QString action = takeAction(
        args, QStringLiteral("user"),
        {QStringLiteral("add"), QStringLiteral("list"), QStringLiteral("set-password"),
         QStringLiteral("set-active"), QStringLiteral("reset-online")},
        &rest);
    const CommandOptions options(rest, {QStringLiteral("db"), QStringLiteral("store"), QStringLiteral("email"),
                                        QStringLiteral("company"), QStringLiteral("category"),
                                        QStringLiteral("password"), QStringLiteral("active")});
    AdminLibrary library(options);
    if (action == QStringLiteral("list"))
        return listUsers(library);
    const QString email = options.required(QStringLiteral("email"));
    if (action == QStringLiteral("add")) {
        addUser(library, {email, options.required(QStringLiteral("company")),
                          options.required(QStringLiteral("category")),
                          options.required(QStringLiteral("password")),
                          options.yesNo(QStringLiteral("active"), true)});
        out() << "user \"" << email << "\" added\n";
        return;
    }
    if (action == QStringLiteral("set-password")) {
        setUserPassword(library, email, options.required(QStringLiteral("password")));
    } else if (action == QStringLiteral("set-active")) {
        if (!options.has(QStringLiteral("active")))
            throw CommandError{QStringLiteral("option --active (Y or N) is required")};
        setUserActive(library, email, options.yesNo(QStringLiteral("active"), true));
    } else {
        setUserOnline(library, email, false, 0);
    }
    out() << "user \"" << email << "\" updated\n";
}

void runBookCommand(const QStringList &args)
{
    QStringList rest;
    const QString action = takeAction(args, QStringLiteral("book"),
                                      {QStringLiteral("add"), QStringLiteral("list"), QStringLiteral("remove")}, &rest);
    const CommandOptions options(rest, {QStringLiteral("db"), QStringLiteral("store"), QStringLiteral("company"),
                                        QStringLiteral("category"), QStringLiteral("name"), QStringLiteral("file"),
                                        QStringLiteral("url"), QStringLiteral("password"), QStringLiteral("position")});
    AdminLibrary library(options);
    if (action == QStringLiteral("list"))
        return listBooks(library, options);
    const QString company = options.required(QStringLiteral("company"));
    const QString category = options.required(QStringLiteral("category"));
    const QString name = options.required(QStringLiteral("name"));
    if (action == QStringLiteral("remove")) {
        removeBook(library, company, category, name);
        out() << "book \"" << name << "\" removed\n";
        return;
    }
    NewBook book;
    book.company = company;
    book.category = category;
    book.name = name;
    book.file = options.value(QStringLiteral("file"));
    book.url = options.value(QStringLiteral("url"));
    book.password = options.value(QStringLiteral("password"));
    if (options.has(QStringLiteral("position")))
        book.position = positionValue(options.value(QStringLiteral("position")));
    addBook(library, book);
    out() << "book \"" << name << "\" added\n";
}

} // namespace vk
