#include "PdfDocument.h"
#include "PdfFixtures.h"
#include "PdfImageCache.h"
#include "PdfTiles.h"
#include "PdfView.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace vk;

class TestPdfView : public QObject
{
    Q_OBJECT

    const QByteArray fivePages = PdfFixtures::makePdf({QStringLiteral("one"), QStringLiteral("two"),
                                                       QStringLiteral("three"), QStringLiteral("four"),
                                                       QStringLiteral("five\nneedle")});
    std::unique_ptr<PdfView> view;

    std::shared_ptr<PdfDocument> document(const QByteArray &bytes)
    {
        auto doc = std::make_shared<PdfDocument>();
        doc->load(bytes);
        return doc;
    }

private Q_SLOTS:
    void init()
    {
        view = std::make_unique<PdfView>();
        view->resize(400, 500);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }

    void cleanup() { view.reset(); }

    void scaleAndAutoScale()
    {
        view->setAutoScales(true);
        // A document fits its width while auto-scaling, also after a resize.
        view->setDocument(document(fivePages));
        const double fit = view->scaleFactor();
        QVERIFY(fit > 0.4 && fit < 0.7);
        QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
        view->resize(800, 500);
        QTRY_VERIFY(view->scaleFactor() > 2 * fit - 0.1);

        view->setAutoScales(false);
        const double fixed = view->scaleFactor();
        view->resize(400, 500);
        QTRY_COMPARE(view->viewport()->width() < 400, true);
        QCOMPARE(view->scaleFactor(), fixed);
        // Zooming keeps the current page, also where the end of the book clamps.
        view->goToLastPage();
        view->setScaleFactor(0.5);
        QCOMPARE(view->currentPageIndex(), 4);
    }

    // A match is scrolled to once its outline is known, unless a page button was pressed meanwhile.
    void scrollSelectionToVisible()
    {
        auto doc = document(fivePages);
        view->setScaleFactor(1.0);
        view->setDocument(doc);
        QScrollBar *bar = view->verticalScrollBar();
        const PdfSelection needle = doc->findString(QStringLiteral("needle")).value(0);
        view->setCurrentSelection(needle);
        view->scrollSelectionToVisible();
        QCOMPARE(view->currentPageIndex(), 4);
        const QList<QRectF> bounds = doc->selectionBounds(needle);
        const int pageTop = 4 * (842 + 8) + 8;
        const auto selectionShown = [&] {
            return bar->value() <= pageTop + bounds.first().top()
                && bar->value() + view->viewport()->height() >= pageTop + bounds.first().bottom();
        };
        QTRY_VERIFY(selectionShown());

        // Already visible: nothing moves.
        bar->setValue(bar->value() - 100);
        const int shown = bar->value();
        view->scrollSelectionToVisible();
        QCOMPARE(bar->value(), shown);

        // The same book again, its outlines not yet known.
        auto again = document(fivePages);
        view->setDocument(again);
        QSignalSpy boundsReady(again.get(), &PdfDocument::selectionBoundsReady);
        view->setCurrentSelection(again->findString(QStringLiteral("needle")).first());
        view->scrollSelectionToVisible();
        view->goToFirstPage();
        QVERIFY(boundsReady.count() > 0 || boundsReady.wait(10000));
        QCoreApplication::processEvents();
        QCOMPARE(view->currentPageIndex(), 0);
        QCOMPARE(bar->value(), 0);
    }

    // A 200 inch page at zoom 4, a 13 GB image, is shown in tiles within the image limit.
    void hugePageIsShownInTiles()
    {
        const QColor fill(40, 120, 200);
        const QPageSize huge(QSizeF(14400, 14400), QPageSize::Point);
        auto doc = document(PdfFixtures::makePdf({{QStringLiteral("top left"), huge, fill},
                                                  {QStringLiteral("next"), huge, Qt::yellow}}));
        qint64 largest = 0;
        const auto measure = [&](const PdfRenderRequest &, const QImage &tile) {
            largest = qMax(largest, pixelCount(tile.size()));
        };
        connect(doc.get(), &PdfDocument::pageRendered, this, measure);
        view->setScaleFactor(4.0);
        view->setDocument(doc);
        QSignalSpy painted(view.get(), &PdfView::pagePainted);
        QScrollBar *across = view->horizontalScrollBar();
        QScrollBar *down = view->verticalScrollBar();
        const QList<QPoint> places{{across->maximum() / 2, 0},
                                   {across->maximum(), 57600 / 2},
                                   {kTileEdge - 100, 57600 - 300}};
        for (const QPoint &place : places) {
            painted.clear();
            across->setValue(place.x());
            down->setValue(place.y());
            QTRY_VERIFY_WITH_TIMEOUT(painted.contains(QVariantList{0}), 20000);
            const QImage shown = view->viewport()->grab().toImage();
            QCOMPARE(shown.pixelColor(shown.rect().center()), fill);
        }
        QVERIFY(largest > 0 && largest <= kTileEdge * kTileEdge);
    }

    // The next page is rendered ahead unless larger than the whole cache (US Letter at 7.0:
    // 95 MB); after a zoom, only a new render counts.
    void rendersAheadAndAfterZoom_data()
    {
        QTest::addColumn<double>("scale");
        QTest::newRow("fits the cache") << 1.0;
        QTest::newRow("larger than the cache") << 7.0;
    }

    void rendersAheadAndAfterZoom()
    {
        QFETCH(double, scale);
        auto doc = document(PdfFixtures::colouredPdf(3));
        QSet<int> rendered;
        connect(doc.get(), &PdfDocument::pageRendered, this,
                [&](const PdfRenderRequest &request, const QImage &) { rendered.insert(request.page); });
        QSignalSpy painted(view.get(), &PdfView::pagePainted);
        view->setScaleFactor(scale);
        view->setDocument(doc);
        QTRY_VERIFY_WITH_TIMEOUT(painted.contains(QVariantList{0}), 20000);
        // The worker takes bounds only once no render is pending.
        QSignalSpy bounds(doc.get(), &PdfDocument::selectionBoundsReady);
        doc->requestSelectionBounds({{doc->id(), 0, 0, 1}});
        QVERIFY(bounds.count() > 0 || bounds.wait(20000));
        QCOMPARE(rendered.contains(1), scale == 1.0);
        painted.clear();
        view->setScaleFactor(0.5);
        view->viewport()->repaint();
        QVERIFY(!painted.contains(QVariantList{0}));
        QTRY_VERIFY_WITH_TIMEOUT(painted.contains(QVariantList{0}), 20000);
    }

    // Least recently used first, except whole images of pinned pages and pinned tiles,
    // which are pinned one by one so that scrolling over a tiled page lets the tiles behind go.
    void imageCacheKeepsTheNewestAndThePinned()
    {
        const QImage image(100, 100, QImage::Format_ARGB32); // 40,000 bytes
        const auto whole = [&](int p) { return PdfImageKey{p, image.size(), {}}; };
        PdfImageCache cache(100000);
        for (int i : {0, 1})
            cache.insert(whole(i), image);
        QVERIFY(!cache.find(whole(0)).isNull()); // 0 is now newer than 1
        cache.insert(whole(2), image);
        cache.insert(whole(2), image); // same key again: replaced, not counted twice
        QCOMPARE(cache.bytes(), 80000);
        QVERIFY(cache.contains(whole(0)) && !cache.contains(whole(1)));
        cache.insert({2, QSize(120, 120), {}}, QImage(120, 120, QImage::Format_ARGB32));
        QCOMPARE(cache.findAnySize(2).size(), QSize(120, 120));

        // Only pinned pages left: the newcomer still gets in, over the budget.
        cache.setPinned({3, 4});
        for (int i : {3, 4, 5})
            cache.insert(whole(i), image);
        QCOMPARE(cache.count(), 3);
        cache.setPinned({5, 5});
        cache.insert(whole(6), image);
        QCOMPARE(cache.count(), 2);
        QVERIFY(cache.contains(whole(5)) && cache.contains(whole(6)));

        // Tiles of another page size are other images, and never stand in for a whole page.
        const auto tile = [&](int x) { return PdfImageKey{7, QSize(100000, 100000), QRect(x, 0, 100, 100)}; };
        cache.setPinned({7, 7}, {tile(0), tile(100)});
        for (int x : {0, 100, 200, 300})
            cache.insert(tile(x), image);
        QCOMPARE(cache.count(), 3);
        QVERIFY(cache.contains(tile(0)) && cache.contains(tile(100)) && cache.contains(tile(300)));
        QVERIFY(!cache.contains({7, QSize(50000, 50000), QRect(0, 0, 100, 100)}));
        QVERIFY(cache.findAnySize(7).isNull());
    }
};

QTEST_MAIN(TestPdfView)
#include "tst_pdfview.moc"
