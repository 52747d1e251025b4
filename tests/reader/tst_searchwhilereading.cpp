#include "ContentsPanel.h"
#include "PdfDocument.h"
#include "PdfFixtures.h"
#include "PdfTextCache.h"
#include "ViewerHarness.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace vk;

namespace {

constexpr int kPages = 80;     // enough for the text helpers
constexpr int kGatePage = 20;  // the stand-in helpers hold back the pages from here on

QString buttons(AppDelegate &app) // "<" and ">" as "10"
{
    return QString(app.searchp()->isEnabled() ? u'1' : u'0') + (app.searchn()->isEnabled() ? u'1' : u'0');
}

PdfTextStore::PagePtr pageOf(int chars)
{
    return std::make_shared<PdfTextStore::Page>(PdfTextStore::Page{QString(chars, u'x'), {QString(chars, u'x'), {}}});
}

} // namespace

// Searching a book whose text is still being read, and reopening a book read before.
class SearchWhileReadingTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<CapturingTlsServer> server;

    QString bookUrl() const { return QUrl::fromLocalFile(dir.filePath("book.pdf")).toString(); }
    int helperRuns() const
    {
        QFile runs(dir.filePath("runs"));
        return runs.open(QIODevice::ReadOnly) ? int(runs.readAll().count('\n')) : 0;
    }
    bool search(AppDelegate &app, const QString &pattern, const QString &label)
    {
        app.searchtv()->setText(pattern);
        app.searchf()->click();
        return QTest::qWaitFor([&] { return app.matchl()->text() == label; }, kWaitMs);
    }

private slots:
    void initTestCase()
    {
        qputenv("VELKARN_ALLOW_INSECURE_BOOKS", "1");
        QStringList texts;
        for (int page = 0; page < kPages; ++page)
            texts.append(QStringLiteral("page %1").arg(page));
        for (int page : {2, 10, 50, 70})
            texts[page] += QStringLiteral(" Needle");
        texts[5] += QStringLiteral(" solo");
        QVERIFY(PdfFixtures::writeFile(dir.filePath("book.pdf"), PdfFixtures::makePdf(texts)));
        qputenv("VELKARN_PDF_TEXT_HELPER", VELKARN_GATED_TEXT_HELPER);
        qputenv("VELKARN_TEST_GATE", dir.filePath("gate").toLocal8Bit());
        qputenv("VELKARN_TEST_GATE_PAGE", QByteArray::number(kGatePage));
        qputenv("VELKARN_TEST_HELPER_RUNS", dir.filePath("runs").toLocal8Bit());
        QVERIFY(server = startCapturingPortal());
        server->setAnswer(kBookPath, bookAnswer({{bookUrl(), "none"}}));
    }

    // Each new search replaces the last at once; once the text is complete the search
    // covers the whole book, where stepping left it; reopened, no page is read again.
    void searchWhileReadingThenReopen()
    {
        LaunchedViewer viewer;
        AppDelegate &app = viewer.app();
        QVERIFY(viewer.signIn("reader@example.org", "pw"));
        QVERIFY(viewer.openBook(0));
        const std::shared_ptr<PdfDocument> document = app.document();
        QTRY_VERIFY_WITH_TIMEOUT(document->textReadPrefix() >= kGatePage, kWaitMs);
        QCOMPARE(document->textReadPrefix(), kGatePage);

        QVERIFY(search(app, "zebra", "Searching ... 25%"));
        QCOMPARE(buttons(app), QStringLiteral("00"));
        QVERIFY(search(app, "SOLO", "1 of 1+"));
        QCOMPARE(app.pdfView()->currentSelection()->page, 5);
        QVERIFY(search(app, "needle", "1 of 2+"));
        QCOMPARE(app.pdfView()->currentSelection()->page, 2);
        QCOMPARE(buttons(app), QStringLiteral("11"));
        // Stepping stays among the matches found: past the second, ">" goes off.
        QStringList seen;
        for (QPushButton *press : {app.searchn(), app.searchn(), app.searchp(), app.searchn()}) {
            press->click();
            seen.append(app.matchl()->text() + u' ' + buttons(app));
        }
        QCOMPARE(seen, (QStringList{"2 of 2+ 11", "2 of 2+ 10", "1 of 2+ 11", "2 of 2+ 11"}));
        // The contents wait for the text, saying so, but not for ever.
        app.toggleContents();
        QCOMPARE(app.contents()->notice(), QStringLiteral("Reading the contents..."));
        QTRY_COMPARE_WITH_TIMEOUT(app.contents()->notice(), QStringLiteral("This book has no contents"),
                                  int(PdfDocument::kOutlineWait.count()) + kWaitMs);
        app.toggleContents();

        QVERIFY(PdfFixtures::writeFile(dir.filePath("gate"), "open"));
        QTRY_COMPARE_WITH_TIMEOUT(app.matchl()->text(), QStringLiteral("2 of 4"), kWaitMs);
        const QList<PdfSelection> whole = document->findString("NEEDLE");
        QCOMPARE(app.searchResults().value(), whole);
        QCOMPARE(app.pdfView()->highlightedSelections(), whole);
        QCOMPARE(app.pdfView()->currentSelection(), whole.at(1));
        QCOMPARE(buttons(app), QStringLiteral("11"));

        QTRY_COMPARE_WITH_TIMEOUT(PdfTextCache::session().bookCount(), 1, kWaitMs);
        const int runs = helperRuns();
        QVERIFY(runs >= 1);
        app.winAMenuItem3()->trigger();
        QVERIFY(viewer.openBook(0));
        QVERIFY(app.document() != document);
        QVERIFY(app.document()->isTextIndexed());
        QVERIFY(search(app, "needle", "1 of 4"));
        QCOMPARE(app.document()->textExtractionCount(), 0);
        QCOMPARE(helperRuns(), runs);
        app.logout();
        QVERIFY(viewer.waitForIdle());
    }

    // A changed book under a known location is not taken for the old one.
    void cacheKeepsTheLatestBooks()
    {
        PdfTextCache cache;
        const QList<PdfTextStore::PagePtr> small{pageOf(10), pageOf(10)};
        for (const char *name : {"a", "b", "c"})
            cache.put(name, name, 100, small);
        QCOMPARE(cache.find("a", "a"), small); // now the most recent
        cache.put("d", "d", 100, small);
        QVERIFY(cache.find("b", "b").isEmpty());
        QCOMPARE(cache.bookCount(), 3);
        QVERIFY(cache.find("a", "changed").isEmpty());
        QVERIFY(cache.mayHold("a", 100) && !cache.mayHold("a", 101));
        cache.put("a", "new", 100, small); // the same location replaces its entry
        QVERIFY(cache.find("a", "a").isEmpty());
        QCOMPARE(cache.find("a", "new"), small);

        const int quarter = int(PdfTextCache::kMaxBytes / 2 / 4); // text and folded text, two bytes each
        cache.put("big", "big", 100, {pageOf(quarter * 3 / 2)});
        QCOMPARE(cache.bookCount(), 3);
        cache.put("bigger", "bigger", 100, {pageOf(quarter * 3 / 2)});
        QCOMPARE(cache.bookCount(), 1); // both would pass 64 MiB
        cache.put("huge", "huge", 100, {pageOf(quarter * 2 + 1)});
        QVERIFY(cache.find("huge", "huge").isEmpty());
    }

    // Pages arrive out of order from helpers taking turns: only a run from page 0 counts.
    void readPrefixHasNoGaps()
    {
        PdfTextStore store;
        store.reset(5);
        QList<int> prefixes;
        for (int page : {1, 3, 0, 4, 2}) {
            store.put(page, QStringLiteral("text"));
            prefixes.append(store.readPrefix());
        }
        QCOMPARE(prefixes, (QList<int>{0, 0, 2, 2, 5}));
    }
};

QTEST_MAIN(SearchWhileReadingTest)
#include "tst_searchwhilereading.moc"
