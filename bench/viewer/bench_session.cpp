// End-to-end figures of the viewer on real books: the real portal serves them
// over TLS on loopback, and the real controller, driven through its controls,
// signs in, opens each book, shows its contents (the panel then stays open),
// searches it twice and pages through all of it.
// A 10 ms timer on the GUI thread tells how long the window went unanswered
// in each phase. Prints one table of figures beside their goals.

#include "FigureTable.h"
#include "PortalLibrary.h"
#include "TickGaps.h"
#include "ViewerSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <cstdio>
#include <optional>

namespace {

constexpr double kFirstPaintGoalMs = 250;
constexpr double kSecondSearchGoalMs = 50;
constexpr double kFirstMatchGoalMs = 300;
// The first search's whole count against mutool reading the same book's text.
constexpr double kCompleteCountShare = 0.75;
constexpr double kResidentGoalMiB = 250;
constexpr double kGapGoalMs = 100;
// A word both books hold a few hundred times, on their first pages too, then
// one they hold more often.
const QString kFirstPattern = QStringLiteral("expandable");
const QString kSecondPattern = QStringLiteral("catcode");

int fail(const QString &what)
{
    std::fprintf(stderr, "bench_session: %s\n", qPrintable(what));
    return 1;
}

double residentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const auto m = QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+)")).match(QString::fromLatin1(status.readAll()));
    return m.hasMatch() ? m.captured(1).toDouble() / 1024 : -1;
}

// What a fast extractor needs for every page's text: the yardstick for the
// first search's whole count, which needs the whole book's text.
std::optional<double> mutoolTextMs(const QString &book)
{
    QElapsedTimer t;
    t.start();
    QProcess mutool;
    mutool.start(QStringLiteral("mutool"), {QStringLiteral("draw"), QStringLiteral("-F"), QStringLiteral("txt"),
                                             QStringLiteral("-o"), QStringLiteral("/dev/null"), book});
    if (!mutool.waitForFinished(600000) || mutool.exitStatus() != QProcess::NormalExit || mutool.exitCode() != 0)
        return std::nullopt;
    return double(t.nsecsElapsed()) / 1e6;
}

int measureBook(ViewerSession &viewer, TickGaps &gaps, FigureTable &table, const QString &book)
{
    const QString name = QFileInfo(book).fileName();
    const std::optional<double> reference = mutoolTextMs(book);
    if (!reference)
        return fail(QStringLiteral("mutool draw failed on ") + book);

    gaps.startPhase();
    const auto opened = viewer.openBook(name);
    if (!opened)
        return fail(viewer.errorText());
    // The panel opens at once and reads the outline while the first search runs.
    if (!viewer.openContents())
        return fail(viewer.errorText());
    const double openGap = gaps.longestMs();
    table.add(name, QStringLiteral("Open Book: the button's handler"), opened->clickMs, QStringLiteral("ms"));
    table.add(name, QStringLiteral("Open Book: download + load (%1 pages)").arg(opened->pageCount),
              opened->documentMs, QStringLiteral("ms"));
    table.add(name, QStringLiteral("Open Book: first page painted"), opened->firstPaintMs, QStringLiteral("ms"),
              kFirstPaintGoalMs);

    gaps.startPhase();
    const auto first = viewer.search(kFirstPattern);
    if (!first)
        return fail(viewer.errorText());
    const auto second = viewer.search(kSecondPattern);
    if (!second)
        return fail(viewer.errorText());
    const auto contents = viewer.contentsShown();
    if (!contents)
        return fail(viewer.errorText());
    const double searchGap = gaps.longestMs();
    table.add(name, QStringLiteral("contents shown (%1 top entries)").arg(contents->matches), contents->ms,
              QStringLiteral("ms"));
    table.add(name, QStringLiteral("mutool draw -F txt (reference)"), *reference, QStringLiteral("ms"));
    table.add(name, QStringLiteral("first search \"%1\": first match painted").arg(kFirstPattern),
              first->firstMatchMs, QStringLiteral("ms"), kFirstMatchGoalMs);
    table.add(name, QStringLiteral("first search: complete count (%1 matches), goal: %2 x mutool")
                        .arg(first->matches).arg(kCompleteCountShare),
              first->ms, QStringLiteral("ms"), *reference * kCompleteCountShare);
    table.add(name, QStringLiteral("second search \"%1\" (%2 matches)").arg(kSecondPattern).arg(second->matches),
              second->ms, QStringLiteral("ms"), kSecondSearchGoalMs);

    gaps.startPhase();
    const std::optional<double> paging = viewer.pageThrough();
    if (!paging)
        return fail(viewer.errorText());
    const double pagingGap = gaps.longestMs();
    table.add(name, QStringLiteral("paging through every page at 1.0"), *paging / 1000, QStringLiteral("s"));
    table.add(name, QStringLiteral("VmRSS after paging"), residentMiB(), QStringLiteral("MiB"), kResidentGoalMiB);

    table.add(name, QStringLiteral("longest GUI gap: download + open"), openGap, QStringLiteral("ms"), kGapGoalMs);
    table.add(name, QStringLiteral("longest GUI gap: indexing + searches + contents"), searchGap, QStringLiteral("ms"), kGapGoalMs);
    table.add(name, QStringLiteral("longest GUI gap: paging"), pagingGap, QStringLiteral("ms"), kGapGoalMs);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList books = application.arguments().mid(1);
    if (books.isEmpty())
        return fail(QStringLiteral("usage: bench_session book.pdf..."));

    PortalLibrary portal(QStringLiteral(VELKARN_PORTAL_BIN));
    if (!portal.serveBooks(books))
        return fail(portal.errorText());

    TickGaps gaps;
    FigureTable table;
    {
        ViewerSession viewer;
        if (!viewer.signIn(PortalLibrary::readerEmail, PortalLibrary::readerPassword))
            return fail(viewer.errorText());
        for (const QString &book : books)
            if (const int status = measureBook(viewer, gaps, table, book))
                return status;
    }
    table.print();
    return 0;
}
