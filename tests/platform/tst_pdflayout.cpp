#include "PdfImageCache.h"
#include "PdfPageLayout.h"
#include "PdfTiles.h"

#include <QTest>

using namespace vk;

using Sizes = QList<QSizeF>;
using Rects = QList<QRect>;

class TestPdfLayout : public QObject
{
    Q_OBJECT

    // Three pages: portrait, landscape, portrait; at scale 1 they are 100x200,
    // 300x100 and 100x200 pixels.
    const Sizes pages{{100, 200}, {300, 100}, {100, 200}};
    static constexpr int m = PdfPageLayout::kMargin;
    static constexpr int g = PdfPageLayout::kGap;

private Q_SLOTS:
    void layout_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<int>("viewportWidth");
        QTest::addColumn<Rects>("expected");
        QTest::addColumn<QSize>("content");
        QTest::newRow("wide viewport centres pages")
            << 1.0 << 500
            << Rects{{200, m, 100, 200}, {100, m + 200 + g, 300, 100}, {200, m + 300 + 2 * g, 100, 200}}
            << QSize(500, m + 500 + 2 * g + m);
        QTest::newRow("narrow viewport: widest page sets the width")
            << 1.0 << 50
            << Rects{{m + 100, m, 100, 200}, {m, m + 200 + g, 300, 100}, {m + 100, m + 300 + 2 * g, 100, 200}}
            << QSize(300 + 2 * m, m + 500 + 2 * g + m);
        QTest::newRow("half scale rounds")
            << 0.5 << 316
            << Rects{{133, m, 50, 100}, {83, m + 100 + g, 150, 50}, {133, m + 150 + 2 * g, 50, 100}}
            << QSize(316, m + 250 + 2 * g + m);
    }

    void layout()
    {
        QFETCH(double, scale);
        QFETCH(int, viewportWidth);
        QFETCH(Rects, expected);
        QFETCH(QSize, content);
        const PdfPageLayout l = layoutPages(pages, scale, viewportWidth);
        QCOMPARE(l.pages, expected);
        QCOMPARE(l.contentSize, content);
    }

    // Page rows at scale 1: [8, 207], [216, 315], [324, 523]. The page at a row
    // is the one it belongs to, margins and gaps going to the page below.
    void rows_data()
    {
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("pageAtTop");
        QTest::newRow("only the top margin") << 0 << 8 << -1 << -1 << 0;
        QTest::newRow("one row of the first page") << 0 << 9 << 0 << 0 << 0;
        QTest::newRow("last row of the first page") << 207 << 1 << 0 << 0 << 0;
        QTest::newRow("into the second page") << 100 << 117 << 0 << 1 << 0;
        QTest::newRow("gap only") << 208 << 8 << -1 << -1 << 1;
        QTest::newRow("all") << 0 << 1000 << 0 << 2 << 0;
        QTest::newRow("third page") << 500 << 10 << 2 << 2 << 2;
        QTest::newRow("below the end") << 600 << 100 << -1 << -1 << 2;
        QTest::newRow("no height") << 0 << 0 << -1 << -1 << 0;
    }

    void rows()
    {
        QFETCH(int, top);
        QFETCH(int, height);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(int, pageAtTop);
        const PdfPageLayout l = layoutPages(pages, 1.0, 400);
        QCOMPARE(visiblePages(l, top, height), (PageInterval{first, last}));
        QCOMPARE(::pageAtOffset(l, top), pageAtTop);
    }

    void fitWidth_data()
    {
        QTest::addColumn<Sizes>("sizes");
        QTest::addColumn<int>("width");
        QTest::addColumn<double>("scale");
        QTest::newRow("widest page fills") << pages << 316 << 1.0;
        QTest::newRow("a4 in 611 pixels") << Sizes{{595, 842}} << 611 << 1.0;
        QTest::newRow("rounded down") << Sizes{{300, 10}} << 116 << 0.333;
        QTest::newRow("no pages") << Sizes{} << 500 << 0.0;
        QTest::newRow("no room") << pages << 10 << 0.0;
    }

    void fitWidth()
    {
        QFETCH(Sizes, sizes);
        QFETCH(int, width);
        QFETCH(double, scale);
        const double fit = fitWidthScale(sizes, width);
        QCOMPARE(fit, scale);
        if (fit > 0)
            QVERIFY(layoutPages(sizes, fit, width).contentSize.width() <= width);
    }

    void devicePixelsRoundOutwards()
    {
        QCOMPARE(toDevicePixels(QRect(3, 4, 10, 20), 2.0), QRect(6, 8, 20, 40));
        QCOMPARE(toDevicePixels(QRect(1, 1, 1, 1), 1.5), QRect(1, 1, 2, 2));
    }

    void tiles_data()
    {
        constexpr int e = kTileEdge;
        QTest::addColumn<QSize>("page");
        QTest::addColumn<QRect>("visible");
        QTest::addColumn<Rects>("tiles");
        QTest::newRow("inside one tile") << QSize(5000, 5000) << QRect(10, 10, 100, 100)
                                         << Rects{{0, 0, e, e}};
        QTest::newRow("across four tiles")
            << QSize(5000, 5000) << QRect(e - 24, e - 24, 100, 100)
            << Rects{{0, 0, e, e}, {e, 0, e, e}, {0, e, e, e}, {e, e, e, e}};
        QTest::newRow("ends on a tile's last pixel") << QSize(5000, 5000) << QRect(e, 0, e, 1)
                                                     << Rects{{e, 0, e, e}};
        QTest::newRow("cut at the page's edges")
            << QSize(e + 476, e + 76) << QRect(0, 0, 5000, 5000)
            << Rects{{0, 0, e, e}, {e, 0, 476, e}, {0, e, e, 76}, {e, e, 476, 76}};
        QTest::newRow("view reaching past the page") << QSize(2000, 2000) << QRect(1900, -50, 500, 100)
                                                     << Rects{{e, 0, 2000 - e, e}};
    }

    void tiles()
    {
        QFETCH(QSize, page);
        QFETCH(QRect, visible);
        QFETCH(Rects, tiles);
        QCOMPARE(tilesCovering(page, visible), tiles);
    }

    void imageCacheKeepsTheNewestAndThePinned()
    {
        const QImage page(100, 100, QImage::Format_ARGB32); // 40,000 bytes
        const auto whole = [&](int p) { return PdfImageKey{p, page.size(), {}}; };
        PdfImageCache cache(100000);
        cache.insert(whole(0), page);
        cache.insert(whole(1), page);
        QVERIFY(!cache.find(whole(0)).isNull()); // 0 is now newer than 1
        cache.insert(whole(2), page);
        QCOMPARE(cache.count(), 2);
        QVERIFY(cache.contains(whole(0)) && !cache.contains(whole(1)));
        cache.insert(whole(2), page); // same key again: replaced, not counted twice
        QCOMPARE(cache.bytes(), 80000);
        cache.insert({2, QSize(120, 120), {}}, QImage(120, 120, QImage::Format_ARGB32));
        QCOMPARE(cache.findAnySize(2).size(), QSize(120, 120));
        QVERIFY(cache.bytes() <= cache.maxBytes());

        // Only pinned pages left: the newcomer still gets in, over the budget.
        cache.setPinned({3, 4});
        for (int i : {3, 4, 5})
            cache.insert(whole(i), page);
        QCOMPARE(cache.count(), 3);
        QVERIFY(cache.contains(whole(3)) && cache.contains(whole(4)));
        cache.setPinned({5, 5});
        cache.insert(whole(6), page);
        QCOMPARE(cache.count(), 2);
        QVERIFY(cache.contains(whole(5)) && cache.contains(whole(6)));
    }

    // A tiled page is pinned tile by tile: scrolling over it lets the tiles
    // that left the view go, whatever page they belong to. Tiles of another
    // page size are other images, and never stand in for a whole page.
    void imageCachePinsTilesOneByOne()
    {
        const QImage tile(100, 100, QImage::Format_ARGB32);
        const QSize pageSize(100000, 100000);
        const auto at = [&](int x) { return PdfImageKey{0, pageSize, QRect(x, 0, 100, 100)}; };
        PdfImageCache cache(100000);
        cache.setPinned({0, 0}, {at(0), at(100)});
        for (int x : {0, 100, 200, 300})
            cache.insert(at(x), tile);
        QCOMPARE(cache.count(), 3);
        QVERIFY(cache.contains(at(0)) && cache.contains(at(100)) && cache.contains(at(300)));
        QVERIFY(!cache.contains({0, QSize(50000, 50000), QRect(0, 0, 100, 100)}));
        QVERIFY(cache.findAnySize(0).isNull());
    }
};

QTEST_GUILESS_MAIN(TestPdfLayout)
#include "tst_pdflayout.moc"
