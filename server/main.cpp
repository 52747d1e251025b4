#include "AdminCommands.h"
#include "CommandLine.h"
#include "DemoCommand.h"
#include "ServeCommand.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <memory>

using namespace vk;

namespace {

const char kUsage[] =
    "usage: velkarn-portal COMMAND [options]\n"
    "  (DB: a SQLite FILE or postgresql://USER@HOST:PORT/NAME; password in PGPASSWORD or ~/.pgpass)\n"
    "  serve --db DB --listen HOST:PORT --cert PEM --key PEM [--store DIR]\n"
    "        [--public-url https://host:port] [--online-ttl HOURS] [--user-checks-per-minute N]\n"
    "        [--status-updates-per-minute N] [--request-deadline SECONDS]\n"
    "        [--metrics-listen HOST:PORT]\n"
    "  init --db DB\n"
    "  migrate --from DB --to DB\n"
    "  company add|list|set-active --db DB [--name C] [--active Y|N]\n"
    "  user add|list|set-password|set-active|reset-online --db DB [--email E]\n"
    "       [--company C] [--category K] [--password P] [--active Y|N]\n"
    "  book add|list|remove --db DB [--store DIR] [--company C] [--category K] [--name N]\n"
    "       [--file F.pdf | --url U] [--password P] [--position N]\n"
    "  demo --dir DIR [--db DB]\n";

int dispatch(const QString &command, const QStringList &args)
{
    if (command == QStringLiteral("serve"))
        return runServe(args);
    if (command == QStringLiteral("init"))
        runInit(args);
    else if (command == QStringLiteral("company"))
        runCompanyCommand(args);
    else if (command == QStringLiteral("user"))
        runUserCommand(args);
    else if (command == QStringLiteral("book"))
        runBookCommand(args);
    else if (command == QStringLiteral("migrate"))
        runMigrate(args);
    else if (command == QStringLiteral("demo"))
        runDemo(args);
    else
        throw CommandError{QStringLiteral("unknown command \"%1\"\n%2").arg(command, QString::fromLatin1(kUsage).trimmed())};
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || QByteArray(argv[1]) == "help" || QByteArray(argv[1]) == "--help") {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    // The demo draws its books with QPainter, which needs a GUI application;
    // it never shows a window.
    const bool demo = QByteArray(argv[1]) == "demo";
    if (demo && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app;
    if (demo)
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);

    const QStringList arguments = QCoreApplication::arguments();
    try {
        return dispatch(arguments.at(1), arguments.mid(2));
    } catch (const CommandError &error) {
        std::fprintf(stderr, "velkarn-portal: %s\n", qPrintable(error.message));
        return 1;
    }
}
