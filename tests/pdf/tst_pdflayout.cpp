#include "PdfPageLayout.h"
#include "PdfTiles.h"

#include <QTest>

using namespace vk;

using Sizes = QList<QSizeF>;
using Rects = QList<QRect>;

class TestPdfLayout : public QObject
{
    Q_OBJECT

    // Portrait, landscape, portrait: 100x200, 300x100 and 100x200 pixels at scale 1.
    const Sizes pages{{100, 200}, {300, 100}, {100, 200}};
    static constexpr int m = PdfPageLayout::kMargin;
    static constexpr int g = PdfPageLayout::kGap;

private Q_SLOTS:
    void layout()
    {
        // Pages are centred in a wide viewport, scaled sizes rounded.
        const PdfPageLayout half = layoutPages(pages, 0.5, 316);
        QCOMPARE(half.pages, (Rects{{133, m, 50, 100}, {83, m + 100 + g, 150, 50},
                                    {133, m + 150 + 2 * g, 50, 100}}));
        QCOMPARE(half.contentSize, QSize(316, m + 250 + 2 * g + m));
        // In a narrow one the widest page sets the width.
        const PdfPageLayout narrow = layoutPages(pages, 1.0, 50);
        QCOMPARE(narrow.pages, (Rects{{m + 100, m, 100, 200}, {m, m + 200 + g, 300, 100},
                                      {m + 100, m + 300 + 2 * g, 100, 200}}));
        QCOMPARE(narrow.contentSize, QSize(300 + 2 * m, m + 500 + 2 * g + m));
    }

    // The page at a row is the one holding it; margins and gaps go to the page below.
    void rows()
    {
        const PdfPageLayout l = layoutPages(pages, 1.0, 400);
        const int secondTop = m + 200 + g;
        // top, height, first and last page shown, page at the top row
        const QList<std::array<int, 5>> cases{{0, m, -1, -1, 0},
                                              {0, m + 1, 0, 0, 0},
                                              {m + 199, 1, 0, 0, 0},
                                              {m + 200, g, -1, -1, 1},
                                              {100, secondTop - 99, 0, 1, 0},
                                              {600, 100, -1, -1, 2},
                                              {0, 0, -1, -1, 0}};
        for (const auto &[top, height, first, last, atTop] : cases) {
            QCOMPARE(visiblePages(l, top, height), (PageInterval{first, last}));
            QCOMPARE(pageAtOffset(l, top), atTop);
        }
    }

    void fitWidth()
    {
        // sizes, viewport width, scale that fits (rounded down), 0 for none
        const QList<std::tuple<Sizes, int, double>> cases{{pages, 300 + 2 * m, 1.0},
                                                          {Sizes{{300, 10}}, 100 + 2 * m, 0.333},
                                                          {Sizes{}, 500, 0.0},
                                                          {pages, 10, 0.0}};
        for (const auto &[sizes, width, scale] : cases) {
            const double fit = fitWidthScale(sizes, width);
            QCOMPARE(fit, scale);
            if (fit > 0)
                QVERIFY(layoutPages(sizes, fit, width).contentSize.width() <= width);
        }
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
};

QTEST_GUILESS_MAIN(TestPdfLayout)
#include "tst_pdflayout.moc"
