#include "PDFImageView.h"
#include "PageSource.h"
#include "PageStackGeometry.h"
#include "PageStackPainter.h"
#include "PdfFixtures.h"

#include <QPainter>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QtTest>

using namespace vk;

namespace {

const QRectF letter(0, 0, 612, 792);

// Records the pages it draws; later pages have other bounds, so a stack laid out from them shows.
struct RecordingSource : PageSource
{
    RecordingSource(const QRectF &first, qint32 count) : first(first), count(count) {}
    qint32 pageCount() const override { return count; }
    QRectF bounds() const override { return current == 0 ? first : QRectF(0, 0, 612, 500); }
    qint32 currentPage() const override { return current; }
    void setCurrentPage(qint32 page) override { current = page; }
    void drawInRect(QPainter &, const QRectF &rect) override { drawn.append({current, rect}); }

    const QRectF first;
    const qint32 count;
    qint32 current = 0;
    QList<QPair<qint32, QRectF>> drawn;
};

} // namespace

class PdfImageViewTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_threePages = m_dir.filePath(QStringLiteral("three.pdf"));

private slots:
    void initTestCase()
    {
        QVERIFY(PdfFixtures::writeFile(m_threePages, PdfFixtures::colouredPdf(3)));
    }

    // Exactly the pages whose rectangle meets the area are drawn, in page order.
    void drawsOnlyPagesMeetingRedrawArea_data()
    {
        QTest::addColumn<QRectF>("bounds");
        QTest::addColumn<QRectF>("dirty");
        QTest::addColumn<qsizetype>("drawnCount");

        QTest::newRow("across a join") << letter << QRectF(0, 395950, 100, 100) << qsizetype(2);
        QTest::newRow("edge touching a page") << letter << QRectF(0, 792, 10, 10) << qsizetype(1);
        QTest::newRow("right of the pages") << letter << QRectF(612, 0, 10, 10) << qsizetype(0);
        QTest::newRow("upside-down area") << letter << QRectF(0, 5000, 50, -300) << qsizetype(2);
        QTest::newRow("fractional pages") << QRectF(0, 0, 595.276, 841.89)
                                          << QRectF(0, 841.89 * 617, 50, 1) << qsizetype(1);
        QTest::newRow("shifted stack") << QRectF(5, 37.5, 612, 792) << QRectF(0, 829.4, 50, 1) << qsizetype(2);
    }

    void drawsOnlyPagesMeetingRedrawArea()
    {
        QFETCH(QRectF, bounds);
        QFETCH(QRectF, dirty);
        QFETCH(qsizetype, drawnCount);
        QImage canvas(1, 1, QImage::Format_ARGB32);
        QPainter painter(&canvas);
        for (const bool flipped : {true, false}) {
            QList<QPair<qint32, QRectF>> meeting;
            for (qint32 i = 0; i < 1000; ++i) {
                const QRectF rect = pageRect(bounds, 1000, i + 1, flipped);
                if (rect.intersects(dirty))
                    meeting.append({i, rect});
            }
            RecordingSource source(bounds, 1000);
            drawPageStack(painter, source, dirty, flipped);
            QCOMPARE(source.drawn, meeting);
            if (flipped)
                QCOMPARE(meeting.size(), drawnCount);
        }
    }

    void loadedFile()
    {
        PDFImageView view;
        view.loadFromPath(m_threePages);
        QCOMPARE(view.size(), QSize(612, 2376));
        PageRange range;
        QVERIFY(view.knowsPageRange(range) && range.location == 1 && range.length == 3);

        // Each page is drawn into its rectangle, on either side of the joins.
        const auto near = [](QRgb got, const QColor &expected) {
            return qAbs(qRed(got) - expected.red()) + qAbs(qGreen(got) - expected.green())
                       + qAbs(qBlue(got) - expected.blue()) < 24;
        };
        const QImage shown = view.grab().toImage();
        QVERIFY(near(shown.pixel(200, 750), PdfFixtures::pageColor(0)));
        QVERIFY(near(shown.pixel(200, 850), PdfFixtures::pageColor(1)));
        QVERIFY(near(shown.pixel(300, 2000), PdfFixtures::pageColor(2)));

        // Asked for a height the pages cannot fill, the view takes theirs, in single precision.
        view.setFrameSize(QSizeF(306, 1200));
        QCOMPARE(view.size(), QSize(306, 1188));
        // A plain resize of a shown view is corrected the same way.
        view.show();
        view.resize(612, 2380);
        QCOMPARE(view.size(), QSize(612, 2376));

        // A file that cannot be read leaves no page of the one before.
        const QString garbage = m_dir.filePath(QStringLiteral("garbage.pdf"));
        QVERIFY(PdfFixtures::writeFile(garbage, "%PDF-1.4 but nothing more"));
        view.loadFromPath(garbage);
        QCOMPARE(view.size(), QSize(0, 0));
        QVERIFY(view.knowsPageRange(range) && range.length == 0);
    }

    // A resizable area's height and the view's correction of it must settle, not recurse.
    void resizableScrollAreaSettles()
    {
        QScrollArea area;
        area.setWidgetResizable(true);
        auto *view = new PDFImageView;
        view->loadFromPath(m_threePages);
        area.setWidget(view);
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        area.resize(700, 500);
        QVERIFY(view->width() > 0);
    }
};

QTEST_MAIN(PdfImageViewTest)
#include "tst_pdfimageview.moc"
