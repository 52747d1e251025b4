#include "PdfBook.h"
#include "PdfDocument.h"
#include "PdfFixtures.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <numeric>

using namespace vk;

using Matches = QList<PdfSelection>;
using State = PdfDocument::State;

class TestPdfDocument : public QObject
{
    Q_OBJECT

    const QString password = QStringLiteral("s3cret");
    const QByteArray plain = PdfFixtures::makePdf({QStringLiteral("Alpha beta Gamma\nsecond alphabet line"),
                                                   QString(), QStringLiteral("GAMMA ray ALPHA"),
                                                   QStringLiteral("Straße \uFB01le")});
    const QByteArray locked = PdfFixtures::encryptPdf(plain, password);

private Q_SLOTS:
    // Loading here is for the blank book; books arrive in the background.
    void load()
    {
        // in the background, bytes, password, state
        const QList<std::tuple<bool, QByteArray, QString, State>> cases{
            {false, plain, QString(), State::Ready},
            {true, plain, QStringLiteral("needless"), State::Ready},
            {true, locked, password, State::Ready},
            {true, locked, QStringLiteral("wrong"), State::Locked},
            {true, plain.left(plain.size() / 3), QString(), State::Unreadable},
            {true, QByteArray(), QString(), State::Unreadable}};
        for (const auto &[background, bytes, passwordGiven, state] : cases) {
            PdfDocument doc;
            QSignalSpy loaded(&doc, &PdfDocument::loaded);
            if (background) {
                doc.loadInBackground(bytes, passwordGiven);
                QCOMPARE(doc.state(), State::Empty);
                QVERIFY(doc.findString(QStringLiteral("gamma")).isEmpty());
                QVERIFY(loaded.wait(10000));
            } else {
                QCOMPARE(doc.load(bytes), state == State::Ready);
            }
            QCOMPARE(doc.state(), state);
            QCOMPARE(doc.pageCount(), state == State::Ready ? 4 : 0);
            QCOMPARE(doc.findString(QStringLiteral("gamma")).size(), state == State::Ready ? 2 : 0);
        }
    }

    // Whatever the helper processes fail to deliver of a large book's text is read here instead.
    void helpersReadLargeBooks_data()
    {
        QTest::addColumn<QString>("helper");
        QTest::addColumn<bool>("locked");
        const QString built; // the helper built with the viewer, the only one that helps
        QTest::newRow("helpers") << built << false;
        QTest::newRow("helpers, locked book") << built << true;
        QTest::newRow("no helper program") << QStringLiteral("/nonexistent/velkarn-pdf-text") << false;
        QTest::newRow("helper says too little") << QStringLiteral("/bin/echo") << false;
        QTest::newRow("helper talks nonsense") << QStringLiteral("/bin/cat") << true;
    }

    void helpersReadLargeBooks()
    {
        QFETCH(QString, helper);
        QFETCH(bool, locked);
        constexpr int pages = 70;
        QList<PdfFixtures::Page> book(pages, {QStringLiteral("page text"), QPageSize(QPageSize::A4), {}});
        book[7] = {QStringLiteral("the Needle"), QPageSize(QSizeF(400, 300), QPageSize::Point), {}};
        book[68].text = QStringLiteral("needle again");
        const QByteArray bytes = PdfFixtures::makePdf(book);
        qputenv("VELKARN_PDF_TEXT_HELPER", helper.toLocal8Bit());
        PdfDocument doc;
        QSignalSpy indexed(&doc, &PdfDocument::textIndexed);
        QSignalSpy resized(&doc, &PdfDocument::pageSizesChanged);
        if (locked)
            doc.loadInBackground(PdfFixtures::encryptPdf(bytes, password), password);
        else
            doc.loadInBackground(bytes, QString());
        QVERIFY(indexed.count() == 1 || indexed.wait(30000));
        qunsetenv("VELKARN_PDF_TEXT_HELPER");
        QCOMPARE(doc.textExtractionCount() == 0, helper.isEmpty());
        const auto id = doc.id();
        QCOMPARE(doc.findString(QStringLiteral("NEEDLE")), (Matches{{id, 7, 4, 6}, {id, 68, 0, 6}}));
        QCOMPARE(doc.pageText(68), QStringLiteral("needle again"));
        // Measured after the load, and told once, so that views lay the book out again.
        QTRY_VERIFY_WITH_TIMEOUT(doc.arePageSizesMeasured(), 10000);
        QCOMPARE(resized.count(), 1);
        QCOMPARE(doc.pageSize(7), QSizeF(400, 300));
        QCOMPARE(doc.pageSize(69).toSize(), QSize(595, 842));
    }

    void findStringAndItsOutline()
    {
        PdfDocument doc;
        QVERIFY(doc.load(plain));
        const auto id = doc.id();
        // PDFium hands the fi ligature over as two letters; ß folds to two but keeps the next word's place.
        QCOMPARE(doc.findString(QStringLiteral("alpha")),
                 (Matches{{id, 0, 0, 5}, {id, 0, 25, 5}, {id, 2, 10, 5}}));
        QCOMPARE(doc.findString(QStringLiteral("a beta g")), (Matches{{id, 0, 4, 8}}));
        QCOMPARE(doc.findString(QStringLiteral("FILE")), (Matches{{id, 3, 7, 4}}));

        const PdfSelection beta = doc.findString(QStringLiteral("beta")).value(0);
        const QList<QRectF> rects = doc.selectionBounds(beta);
        const QRectF r = std::accumulate(rects.cbegin(), rects.cend(), QRectF(), std::bit_or<>());
        // "beta" is drawn on the first line: baseline at y = 60, starting at x = 50.
        QVERIFY(r.left() > 60 && r.right() < 200 && r.width() > 15);
        QVERIFY(r.top() > 40 && r.bottom() < 66 && r.height() > 5);
        QCOMPARE(doc.cachedSelectionBounds(beta), std::optional(rects));

        // Outside the text, the document or the book: nothing, and no PDFium call that leaks the page.
        for (const PdfSelection &outside : {PdfSelection{id, 0, 5000, 3}, PdfSelection{id, 1, 0, 3},
                                            PdfSelection{id, 9, 0, 3}, PdfSelection{id + 1000, 0, 0, 5}})
            QVERIFY(doc.selectionBounds(outside).isEmpty());
        // A length past the end of the page text is cut at the end.
        const int rest = int(doc.pageText(2).size()) - 10;
        QCOMPARE(doc.selectionBounds({id, 2, 10, 1000}), doc.selectionBounds({id, 2, 10, rest}));
    }

    void indexesInBackgroundOnce()
    {
        PdfDocument doc;
        QSignalSpy indexed(&doc, &PdfDocument::textIndexed);
        QSignalSpy progress(&doc, &PdfDocument::textIndexProgress);
        QVERIFY(doc.load(PdfFixtures::makePdf(QStringList(60, QStringLiteral("a needle")))));
        // A search racing the background index shares its work: each page once.
        QCOMPARE(doc.findString(QStringLiteral("NEEDLE")).size(), 60);
        QVERIFY(indexed.count() == 1 || indexed.wait(10000));
        QVERIFY(doc.isTextIndexed());
        QCOMPARE(progress.last(), (QVariantList{60, 60}));
        doc.findString(QStringLiteral("nothing"));
        doc.pageText(1);
        QCOMPARE(doc.textExtractionCount(), 60);
        QCOMPARE(indexed.count(), 1);
    }

    // A tile is that part of the page image; nothing over the image limit is rendered.
    void renderTiles()
    {
        QStringList lines;
        for (int i = 0; i < 28; ++i)
            lines.append(QStringLiteral("Line %1: the quick brown fox jumps over the lazy dog %1").arg(i));
        PdfDocument doc;
        QVERIFY(doc.load(PdfFixtures::makePdf({lines.join(u'\n')}, QPageSize(QPageSize::Letter), 18)));
        const QSize letter4(2448, 3168); // US Letter at zoom 4
        const QImage page = doc.renderPage(0, letter4);
        QCOMPARE(page.size(), letter4);
        // page image, clip, rendered
        const QList<std::tuple<QSize, QRect, bool>> cases{
            {letter4, QRect(1024, 2048, 1024, 1024), true},        // away from the origin
            {letter4, QRect(2048, 2048, 400, 1120), true},         // cut at the page's corner
            {letter4, QRect(2048, 0, 1024, 1024), false},          // reaching past the page
            {QSize(8000, 8001), QRect(), false},                   // a whole page over the limit
            {QSize(9000, 9000), QRect(0, 0, 8001, 8000), false},   // a tile over the limit
            {QSize(57600, 74548), QRect(0, 0, 1024, 1024), true}}; // a tile of a 13 GB page
        for (const auto &[pageSize, clip, rendered] : cases) {
            const QImage tile = doc.renderPage(0, pageSize, clip);
            QCOMPARE(!tile.isNull(), rendered);
            if (!rendered || pageSize != letter4)
                continue;
            // Ink is alpha. Glyph edges may differ by a shade; a tile off by a pixel, on every edge.
            QCOMPARE(tile.size(), clip.size());
            const QImage whole = page.copy(clip);
            int differing = 0;
            int inked = 0;
            for (int y = 0; y < tile.height(); ++y) {
                for (int x = 0; x < tile.width(); ++x) {
                    differing += qAbs(qAlpha(tile.pixel(x, y)) - qAlpha(whole.pixel(x, y))) > 64;
                    inked += qAlpha(tile.pixel(x, y)) > 128;
                }
            }
            QVERIFY(inked > 100 && differing <= tile.width() * tile.height() / 1000);
        }
    }

    // Opened afresh, a book reads and renders as before, with the password it was unlocked with.
    void reopenKeepsTheBook()
    {
        QTemporaryDir dir;
        for (const auto &[fromFile, given] : {std::pair(false, QString()), std::pair(true, password)}) {
            const QByteArray bytes = given.isEmpty() ? plain : locked;
            const QString path = dir.filePath(QStringLiteral("book.pdf"));
            QVERIFY(PdfFixtures::writeFile(path, bytes));
            // Below zero, any total is past the budget: the book is opened afresh at the first chance.
            PdfBook book(-1);
            if (fromFile)
                book.loadFile(path);
            else
                book.loadBytes(bytes);
            if (!given.isEmpty()) {
                QCOMPARE(book.loadState(), PdfState::Locked);
                book.reloadWithPassword(given);
            }
            QCOMPARE(book.settle(1).pages, 4);
            const QImage before = book.render(2, QSize(120, 170));
            QVERIFY(!before.isNull());
            QVERIFY(book.renewIfGrown());
            QCOMPARE(book.loadState(), PdfState::Ready);
            QCOMPARE(book.render(2, QSize(120, 170)), before);
            QVERIFY(book.extractText(2).contains(QStringLiteral("GAMMA ray ALPHA")));
            QCOMPARE(book.password(), given);
        }
    }

    // What the worker finishes after its document is gone must reach nobody.
    void destroyWhileBusy()
    {
        const QByteArray bytes = PdfFixtures::makePdf(QStringList(200, QStringLiteral("text")));
        int reports = 0;
        for (int round = 0; round < 6; ++round) {
            auto doc = std::make_unique<PdfDocument>();
            if (round % 2) {
                doc->loadInBackground(bytes, QString());
            } else {
                QVERIFY(doc->load(bytes));
                doc->requestRenders(1, {{1, 0, QSize(100, 140)}, {1, 1, QSize(100, 140)}});
                doc->requestSelectionBounds({{doc->id(), 0, 0, 4}, {doc->id(), 1, 0, 4}});
            }
            connect(doc.get(), &PdfDocument::pageRendered, this, [&] { ++reports; });
            connect(doc.get(), &PdfDocument::loaded, this, [&] { ++reports; });
            doc.reset();
        }
        QCoreApplication::processEvents();
        QCOMPARE(reports, 0);
        PdfDocument next;
        QVERIFY(next.load(bytes));
        QCOMPARE(next.findString(QStringLiteral("TEXT")).size(), 200);
    }
};

QTEST_MAIN(TestPdfDocument)
#include "tst_pdfdocument.moc"
