// Admin commands against a serving portal that records status updates at a
// steady rate: how many `book add` and `user add` fail, how long the slowest
// takes, what the status updates see meanwhile, and how large the
// write-ahead log grows. The portal binary is a parameter, so two builds can
// be compared with the same client.
#include "LoadRun.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

struct AdminFigures
{
    int commands = 0;
    QStringList failures;
    double slowestSeconds = 0;
};

bool runTo(const QString &program, const QStringList &args, QByteArray *errors = nullptr)
{
    QProcess process;
    process.start(program, args);
    const bool ok = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
    if (errors)
        *errors = process.readAllStandardError().trimmed();
    return ok;
}

// The first `pages` pages of a real book, the size of book an administrator adds.
bool slicePdf(const QString &source, int pages, const QString &target)
{
    try {
        QPDF in;
        in.processFile(QFile::encodeName(source).constData());
        QPDF out;
        out.emptyPDF();
        QPDFPageDocumentHelper outPages(out);
        const auto all = QPDFPageDocumentHelper(in).getAllPages();
        for (size_t i = 0; i < all.size() && int(i) < pages; ++i)
            outPages.addPage(all.at(i), false);
        const QByteArray name = QFile::encodeName(target);
        QPDFWriter writer(out, name.constData());
        writer.write();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "admin_under_load: cannot slice %s: %s\n", qPrintable(source), e.what());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOptions({
        {"portal", "The velkarn-portal program to measure.", "file"},
        {"pdf", "A book to take the added books from.", "file"},
        {"pages", "How many of its first pages each added book holds.", "n", "20"},
        {"book-adds", "book add commands (each with --password).", "n", "20"},
        {"user-adds", "user add commands.", "n", "50"},
        {"rate", "Status updates per second during the commands.", "r", "200"},
        {"serve-arg", "An extra argument for serve (repeatable).", "arg"},
    });
    parser.process(app);
    if (!parser.isSet("portal") || !parser.isSet("pdf")) {
        std::fputs("admin_under_load: --portal and --pdf are required\n", stderr);
        return 2;
    }
    const QString portal = parser.value("portal");
    QTemporaryDir work;
    const QDir dir(work.path());
    const QString book = dir.filePath("book.pdf");
    const QString db = dir.filePath("demo/portal.db");
    if (!slicePdf(parser.value("pdf"), parser.value("pages").toInt(), book)
        || !runTo(portal, {"demo", "--dir", dir.filePath("demo")})) {
        std::fputs("admin_under_load: cannot prepare the library\n", stderr);
        return 1;
    }

    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(portal, QStringList{"serve", "--db", db, "--listen", "127.0.0.1:0", "--cert",
                                     dir.filePath("demo/server.pem"), "--key", dir.filePath("demo/server.key")}
                             + parser.values("serve-arg"));
    QElapsedTimer startWait;
    startWait.start();
    while (!server.canReadLine() && server.state() != QProcess::NotRunning && startWait.elapsed() < 30000)
        server.waitForReadyRead(1000);
    const QString first = QString::fromUtf8(server.readLine()).trimmed();
    if (!first.startsWith("listening on ")) {
        std::fputs("admin_under_load: the portal did not start\n", stderr);
        return 1;
    }
    const QString url = first.mid(int(qstrlen("listening on ")));

    LoadSettings settings;
    settings.url = url + "/adminportal/pdfloginupdate.php";
    settings.body = "user=reader@velkarn.example&status=Y";
    settings.caFile = dir.filePath("demo/ca.pem");
    settings.rate = parser.value("rate").toDouble();
    settings.seconds = 0;
    settings.warmup = 0;
    LoadRun load(settings);
    qint64 walMax = 0;
    QTimer walWatch;
    QObject::connect(&walWatch, &QTimer::timeout, [&] { walMax = qMax(walMax, QFileInfo(db + "-wal").size()); });
    walWatch.start(50);

    AdminFigures admin;
    std::atomic<bool> adminDone = false;
    const int bookAdds = parser.value("book-adds").toInt();
    const int userAdds = parser.value("user-adds").toInt();
    std::thread commands([&] {
        // Interleaved, as an administrator's script would mix them.
        for (int i = 0; i < bookAdds + userAdds; ++i) {
            const int total = bookAdds + userAdds;
            const bool bookAdd = (i + 1) * bookAdds / total > i * bookAdds / total;
            const QStringList args = bookAdd
                ? QStringList{"book", "add", "--db", db, "--company", "Velkarn Demo Press", "--category", "Load",
                              "--name", QString("Book %1").arg(i), "--file", book, "--password", "load-pw"}
                : QStringList{"user", "add", "--db", db, "--email", QString("load%1@velkarn.example").arg(i),
                              "--company", "Velkarn Demo Press", "--category", "Load", "--password", "pw"};
            QElapsedTimer took;
            took.start();
            QByteArray errors;
            if (!runTo(portal, args, &errors))
                admin.failures << args.at(0) + QLatin1Char(' ') + QString::fromUtf8(errors);
            admin.slowestSeconds = qMax(admin.slowestSeconds, double(took.elapsed()) / 1000.0);
            ++admin.commands;
        }
        adminDone = true;
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (adminDone)
            load.stop();
    });
    poll.start(20);
    const LoadResult status = load.run();
    commands.join();
    const qint64 walEnd = QFileInfo(db + "-wal").size();
    server.terminate();
    server.waitForFinished(30000);

    std::printf("admin under load: %d of %d admin commands failed (%d book add, %d user add), slowest %.2f s\n",
                int(admin.failures.size()), admin.commands, bookAdds, userAdds, admin.slowestSeconds);
    std::printf("  status updates at %.0f/s over %.1f s: %lld answered 200, %lld 429, %lld other, p99 %.1f ms, max %.1f ms\n",
                settings.rate, status.seconds, static_cast<long long>(status.requests - status.errors),
                static_cast<long long>(status.limited), static_cast<long long>(status.errors - status.limited),
                status.percentile(99), status.percentile(100));
    std::printf("  write-ahead log: largest %.1f MB, at the end %.1f MB\n", double(walMax) / 1e6, double(walEnd) / 1e6);
    for (const QString &failure : admin.failures)
        std::printf("  failed: %s\n", qPrintable(failure.left(200)));
    return admin.failures.isEmpty() ? 0 : 1;
}
