#include "PdfImageCache.h"
#include "PdfPageLayout.h"

#include <QTest>

using Sizes = QList<QSizeF>;
using Rects = QList<QRect>;

class TestPdfLayout : public QObject
{
    Q_OBJECT

    // Three pages: portrait, landscape, portrait; at scale 1 they are 100x200,
    // 300x100 and 100x200 pixels.
    const Sizes pages{{100, 200}, {300, 100}, {100, 200}};
    static constexpr int m = PdfPageLayout::margin;
    static constexpr int g = PdfPageLayout::gap;

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

    void visibleRange_data()
    {
        // Page rows at scale 1: [8, 207], [216, 315], [324, 523].
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::newRow("only the top margin") << 0 << 8 << -1 << -1;
        QTest::newRow("one row of the first page") << 0 << 9 << 0 << 0;
        QTest::newRow("into the second page") << 100 << 117 << 0 << 1;
        QTest::newRow("gap only") << 208 << 8 << -1 << -1;
        QTest::newRow("all") << 0 << 1000 << 0 << 2;
        QTest::newRow("below the end") << 600 << 100 << -1 << -1;
        QTest::newRow("no height") << 0 << 0 << -1 << -1;
    }

    void visibleRange()
    {
        QFETCH(int, top);
        QFETCH(int, height);
        QFETCH(int, first);
        QFETCH(int, last);
        QCOMPARE(visiblePages(layoutPages(pages, 1.0, 400), top, height), (PageRange{first, last}));
    }

    void pageAtRow_data()
    {
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("page");
        QTest::newRow("top margin") << 0 << 0;
        QTest::newRow("last row of first page") << 207 << 0;
        QTest::newRow("gap belongs to the next page") << 208 << 1;
        QTest::newRow("third page") << 500 << 2;
        QTest::newRow("below the end") << 10000 << 2;
    }

    void pageAtRow()
    {
        QFETCH(int, y);
        QFETCH(int, page);
        QCOMPARE(::pageAtOffset(layoutPages(pages, 1.0, 400), y), page);
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

    void imageCacheKeepsTheNewestAndThePinned()
    {
        const QImage page(100, 100, QImage::Format_ARGB32); // 40,000 bytes
        PdfImageCache cache(100000);
        cache.insert(0, page);
        cache.insert(1, page);
        QVERIFY(!cache.find(0, page.size()).isNull()); // 0 is now newer than 1
        cache.insert(2, page);
        QCOMPARE(cache.count(), 2);
        QVERIFY(cache.contains(0, page.size()) && !cache.contains(1, page.size()));
        cache.insert(2, page); // same key again: replaced, not counted twice
        QCOMPARE(cache.bytes(), 80000);
        cache.insert(2, QImage(120, 120, QImage::Format_ARGB32));
        QCOMPARE(cache.findAnySize(2).size(), QSize(120, 120));
        QVERIFY(cache.bytes() <= cache.maxBytes());

        // Only pinned pages left: the newcomer still gets in, over the budget.
        cache.setPinned({3, 4});
        for (int i : {3, 4, 5})
            cache.insert(i, page);
        QCOMPARE(cache.count(), 3);
        QVERIFY(cache.contains(3, page.size()) && cache.contains(4, page.size()));
        cache.setPinned({5, 5});
        cache.insert(6, page);
        QCOMPARE(cache.count(), 2);
        QVERIFY(cache.contains(5, page.size()) && cache.contains(6, page.size()));
    }
};

QTEST_GUILESS_MAIN(TestPdfLayout)
#include "tst_pdflayout.moc"
