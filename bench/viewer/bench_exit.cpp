// The text helpers against the viewer's end, on the books given and a
// generated text-heavy one, each served by the real portal: how much memory a
// helper takes reading the whole book, and how many helpers are still alive
// 1 s after Exit (Ctrl+Q) ends the viewer while they read it again. The viewer
// runs in a child process of this program, which watches its helpers from
// outside, since it must really end.

#include "FigureTable.h"
#include "PdfTextCache.h"
#include "PortalLibrary.h"
#include "ProcStatus.h"
#include "TextHeavyBook.h"
#include "ViewerSession.h"
#include "WaitUntil.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kReadWaitMs = 600000;
constexpr int kHelperWaitMs = 30000;
constexpr int kExitWaitMs = 10000;
constexpr int kAfterExitMs = 1000;
const QString kHelperName = QStringLiteral("velkarn-pdf-text");
const QString kViewerMode = QStringLiteral("--viewer");
// Pages of the generated text-heavy book, read beside the books given.
constexpr int kTextHeavyPages = 3000;

int fail(const QString &what)
{
    std::fprintf(stderr, "bench_exit: %s\n", qPrintable(what));
    return 1;
}

// In the child: opens the book, samples its helpers until they are done, opens
// it again and exits while the new helpers read. Reports on standard output.
int runViewer(const QString &book)
{
    ViewerSession viewer;
    if (!viewer.signIn(PortalLibrary::readerEmail, PortalLibrary::readerPassword) || !viewer.openBook(book))
        return fail(viewer.errorText());
    double peakMiB = 0;
    int helpersSeen = 0;
    QElapsedTimer t;
    t.start();
    const bool read = waitUntil([&] {
        const QList<qint64> helpers = childrenNamed(kHelperName);
        for (qint64 pid : helpers)
            peakMiB = std::max(peakMiB, statusMiB(pid, "VmHWM"));
        helpersSeen = std::max(helpersSeen, int(helpers.size()));
        return helpersSeen > 0 && helpers.isEmpty();
    }, kReadWaitMs);
    if (!read)
        return fail(QStringLiteral("the helpers never started or never finished"));
    std::printf("read %d %.1f %.1f\n", helpersSeen, peakMiB, double(t.elapsed()) / 1000);

    // A book read whole is kept in memory (once hashed, off the GUI thread) and
    // not read again when reopened; this run needs its helpers at work once more.
    vk::PdfTextCache &kept = vk::PdfTextCache::session();
    if (!waitUntil([&] { return kept.bookCount() > 0; }, kHelperWaitMs))
        return fail(QStringLiteral("the book's text was not kept"));
    kept.clear();
    if (!viewer.openBook(book))
        return fail(viewer.errorText());
    QList<qint64> reading;
    if (!waitUntil([&] { return !(reading = childrenNamed(kHelperName)).isEmpty(); }, kHelperWaitMs))
        return fail(QStringLiteral("no helper reads the book the second time"));
    std::printf("exiting");
    for (qint64 pid : std::as_const(reading))
        std::printf(" %lld", pid);
    std::printf("\n");
    std::fflush(stdout);
    viewer.exitForReal();
}

struct ExitRun
{
    int helpersSeen = 0;
    double peakMiB = 0;
    double readSeconds = 0;
    QList<qint64> atExit;
    double exitMs = 0;
    int aliveAfter = 0;
};

std::optional<ExitRun> watchViewer(const QString &book, QString &error)
{
    QProcess viewer;
    viewer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    viewer.start(QCoreApplication::applicationFilePath(), {kViewerMode, book});
    ExitRun run;
    QElapsedTimer sinceExit;
    while (!sinceExit.isValid()) {
        if (!viewer.canReadLine() && !viewer.waitForReadyRead(kReadWaitMs)) {
            error = QStringLiteral("the viewer ended without exiting through its menu");
            return std::nullopt;
        }
        while (viewer.canReadLine()) {
            const QList<QByteArray> words = viewer.readLine().simplified().split(' ');
            if (words.first() == "read" && words.size() == 4) {
                run.helpersSeen = words.at(1).toInt();
                run.peakMiB = words.at(2).toDouble();
                run.readSeconds = words.at(3).toDouble();
            } else if (words.first() == "exiting") {
                sinceExit.start();
                for (const QByteArray &pid : words.mid(1))
                    run.atExit.append(pid.toLongLong());
            }
        }
    }
    if (!viewer.waitForFinished(kExitWaitMs) || viewer.exitStatus() != QProcess::NormalExit
        || viewer.exitCode() != 0) {
        error = QStringLiteral("the viewer did not end with status 0");
        return std::nullopt;
    }
    run.exitMs = double(sinceExit.nsecsElapsed()) / 1e6;
    waitUntil([&] { return sinceExit.elapsed() >= kAfterExitMs; }, kAfterExitMs);
    run.aliveAfter = int(std::count_if(run.atExit.cbegin(), run.atExit.cend(), isAlive));
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    if (arguments.size() == 2 && arguments.first() == kViewerMode)
        return runViewer(arguments.at(1));
    QTemporaryDir dir;
    const QString generated = dir.filePath(QStringLiteral("text-heavy.pdf"));
    if (!dir.isValid() || !writeTextHeavyBook(generated, kTextHeavyPages))
        return fail(QStringLiteral("cannot write the text-heavy book"));
    const QStringList books = arguments + QStringList{generated};

    PortalLibrary portal(QStringLiteral(VELKARN_PORTAL_BIN));
    if (!portal.serveBooks(books))
        return fail(portal.errorText());

    FigureTable table;
    for (const QString &book : books) {
        const QString name = QFileInfo(book).fileName();
        QString error;
        const std::optional<ExitRun> run = watchViewer(name, error);
        if (!run)
            return fail(name + QStringLiteral(": ") + error);
        table.add(name, QStringLiteral("whole book read by %1 helpers").arg(run->helpersSeen), run->readSeconds,
                  QStringLiteral("s"));
        table.add(name, QStringLiteral("peak helper RSS (VmHWM)"), run->peakMiB, QStringLiteral("MiB"));
        table.add(name, QStringLiteral("helpers reading at Exit"), run->atExit.size(), QString());
        table.add(name, QStringLiteral("Exit until the viewer ended"), run->exitMs, QStringLiteral("ms"));
        table.add(name, QStringLiteral("helpers alive 1 s after Exit"), run->aliveAfter, QString(), 1);
    }
    table.print();
    return 0;
}
