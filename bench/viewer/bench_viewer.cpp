// Figures of the PDF layer on real books: text indexing against mutool, search,
// time to the first painted page, resident memory after paging through a book, and
// how long the GUI thread goes without running its timers while all of that works.
// One phase per process, so that memory figures do not carry over.

#include "PdfDocument.h"
#include "PdfView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace vk;

namespace {

double ms(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const auto m = QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+)")).match(QString::fromLatin1(status.readAll()));
    return m.hasMatch() ? m.captured(1).toLong() : -1;
}

bool waitFor(QSignalSpy &spy, int timeoutMs)
{
    return spy.count() > 0 || spy.wait(timeoutMs);
}

int fail(const char *what)
{
    std::fprintf(stderr, "bench_viewer: %s\n", what);
    return 1;
}

int indexAndSearch(const QString &book)
{
    QElapsedTimer t;
    t.start();
    QProcess mutool;
    mutool.start(QStringLiteral("mutool"), {QStringLiteral("draw"), QStringLiteral("-F"), QStringLiteral("txt"),
                                             QStringLiteral("-o"), QStringLiteral("/dev/null"), book});
    if (!mutool.waitForFinished(600000) || mutool.exitCode() != 0)
        return fail("mutool draw failed");
    const double reference = ms(t);

    // As the viewer opens a downloaded book: from its bytes, the text read by
    // the helper processes.
    QFile file(book);
    if (!file.open(QIODevice::ReadOnly))
        return fail("cannot read the book");
    const QByteArray bytes = file.readAll();
    {
        PdfDocument doc;
        QSignalSpy loaded(&doc, &PdfDocument::loaded);
        QSignalSpy indexed(&doc, &PdfDocument::textIndexed);
        t.restart();
        doc.loadInBackground(bytes, QString());
        if (!waitFor(loaded, 60000) || !waitFor(indexed, 600000))
            return fail("indexing by the helpers did not finish");
        std::printf("text index by the helper processes: %.0f ms incl. load (%d pages, %d extracted "
                    "in this process); mutool draw -F txt: %.0f ms\n",
                    ms(t), doc.pageCount(), doc.textExtractionCount(), reference);
    }

    // Opened from a file, the document reads the text on its own worker.
    PdfDocument doc;
    QSignalSpy indexed(&doc, &PdfDocument::textIndexed);
    t.restart();
    if (!doc.load(book) || !waitFor(indexed, 600000))
        return fail("indexing did not finish");
    std::printf("text index on the worker alone: %.0f ms incl. load (%d extractions)\n",
                ms(t), doc.textExtractionCount());

    for (const QString &pattern : {QStringLiteral("tl"), QStringLiteral("Expl3"), QStringLiteral("nosuchwordanywhere")}) {
        QList<double> runs;
        int matches = 0;
        for (int i = 0; i < 7; ++i) {
            t.restart();
            matches = int(doc.findString(pattern).size());
            runs.append(ms(t));
        }
        std::sort(runs.begin(), runs.end());
        std::printf("search \"%s\" on cached text: median %.1f ms, max %.1f ms (%d matches)\n",
                    qPrintable(pattern), runs.at(runs.size() / 2), runs.last(), matches);
    }
    return 0;
}

int firstPage(const QString &book)
{
    QElapsedTimer t;
    t.start();
    auto doc = std::make_shared<PdfDocument>();
    if (!doc->load(book))
        return fail("cannot load the book");
    const QImage image = doc->renderPage(0, doc->pageSize(0).toSize());
    std::printf("load + render page 1 (document only): %.1f ms\n", ms(t));

    PdfView view;
    view.resize(1000, 800);
    view.show();
    QSignalSpy painted(&view, &PdfView::pagePainted);
    t.restart();
    auto fresh = std::make_shared<PdfDocument>();
    fresh->load(book);
    view.setDocument(fresh);
    if (!waitFor(painted, 60000))
        return fail("no page painted");
    std::printf("load + first page painted in a view: %.1f ms\n", ms(t));
    return image.isNull() ? fail("render failed") : 0;
}

int pageThrough(const QString &book)
{
    PdfView view;
    view.resize(1000, 800);
    view.show();
    view.setScaleFactor(1.0);
    auto doc = std::make_shared<PdfDocument>();
    if (!doc->load(book))
        return fail("cannot load the book");
    const long before = residentKiB();
    view.setDocument(doc);
    QSignalSpy painted(&view, &PdfView::pagePainted);
    QElapsedTimer t;
    t.start();
    long peak = 0;
    for (int page = 0; page < doc->pageCount(); ++page) {
        view.goToPage(page);
        while (!painted.contains(QVariantList{page}))
            if (!painted.wait(30000))
                return fail("a page was never painted");
        painted.clear();
        if (page % 200 == 0) {
            const long now = residentKiB();
            peak = std::max(peak, now);
            std::printf("  page %4d: VmRSS %ld MiB\n", page + 1, now / 1024);
        }
    }
    const long after = residentKiB();
    std::printf("paged through %d pages at scale 1.0 in %.1f s: VmRSS %ld MiB after loading, "
                "%ld MiB at the end, %ld MiB highest sample\n",
                doc->pageCount(), ms(t) / 1000, before / 1024, after / 1024, std::max(peak, after) / 1024);
    return 0;
}

int timerGaps(const QString &book)
{
    PdfView view;
    view.resize(1000, 800);
    view.show();
    view.setScaleFactor(1.0);

    QElapsedTimer t;
    t.start();
    auto doc = std::make_shared<PdfDocument>();
    if (!doc->load(book))
        return fail("cannot load the book");
    const double load = ms(t);
    view.setDocument(doc);

    QElapsedTimer sinceTick;
    sinceTick.start();
    double longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, ms(sinceTick));
        sinceTick.restart();
    });
    tick.start(10);

    // Page on every 30 ms, as fast as a held-down key, while the text is indexed.
    QTimer pager;
    QObject::connect(&pager, &QTimer::timeout, [&] { view.goToNextPage(); });
    pager.start(30);

    double searchMs = 0;
    int matches = 0;
    QEventLoop loop;
    QObject::connect(doc.get(), &PdfDocument::textIndexed, [&] {
        QElapsedTimer s;
        s.start();
        matches = int(doc->findString(QStringLiteral("tl")).size());
        searchMs = ms(s);
        QTimer::singleShot(500, &loop, &QEventLoop::quit);
    });
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);
    loop.exec();
    std::printf("GUI thread while indexing %d pages, paging every 30 ms (reached page %d) and "
                "searching (%.1f ms, %d matches): longest gap between 10 ms ticks %.1f ms "
                "(load before it: %.1f ms)\n",
                doc->pageCount(), view.currentPageIndex() + 1, searchMs, matches, longest, load);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return fail("usage: bench_viewer index|firstpage|memory|gaps book.pdf");
    const QString phase = args.at(1);
    const QString book = args.at(2);
    if (phase == QLatin1String("index"))
        return indexAndSearch(book);
    if (phase == QLatin1String("firstpage"))
        return firstPage(book);
    if (phase == QLatin1String("memory"))
        return pageThrough(book);
    if (phase == QLatin1String("gaps"))
        return timerGaps(book);
    return fail("unknown phase");
}
