#include "FixturePdf.h"
#include "PDFImageView.h"
#include "PageSource.h"
#include "PageStackGeometry.h"
#include "PageStackPainter.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

const QRectF letter(0, 0, 612, 792);

// A page source that records what it is asked to draw. Pages after the first are
// shorter, so a stack laid out from any bounds but the first page's shows up.
class RecordingSource : public PageSource
{
public:
    explicit RecordingSource(qint32 count) : _count(count) {}

    qint32 pageCount() const override { return _count; }
    QRectF bounds() const override { return _current == 0 ? letter : QRectF(0, 0, 612, 500); }
    qint32 currentPage() const override { return _current; }
    void setCurrentPage(qint32 page) override { _current = page; }
    void drawInRect(QPainter &, const QRectF &rect) override
    {
        drawnPages.append(_current);
        drawnRects.append(rect);
    }

    QList<qint32> drawnPages;
    QList<QRectF> drawnRects;

private:
    qint32 _count;
    qint32 _current = 0;
};

bool sameColor(QRgb pixel, const QColor &expected)
{
    const QColor got(pixel);
    return qAbs(got.red() - expected.red()) <= 8 && qAbs(got.green() - expected.green()) <= 8
        && qAbs(got.blue() - expected.blue()) <= 8;
}

} // namespace

class PdfImageViewTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void pageRectangles_data();
    void pageRectangles();
    void heightCorrection_data();
    void heightCorrection();
    void pageSpanHoldsEveryMeetingPage_data();
    void pageSpanHoldsEveryMeetingPage();
    void drawsOnlyPagesMeetingRedrawArea_data();
    void drawsOnlyPagesMeetingRedrawArea();

    void loadStacksPages();
    void unusableFileShowsNothing_data();
    void unusableFileShowsNothing();
    void setFrameSizeKeepsStackProportions_data();
    void setFrameSizeKeepsStackProportions();
    void paintsPagesIntoTheirRectangles();
    void resizableScrollAreaSettles();

private:
    QTemporaryDir _dir;
    QString _threePages;
};

void PdfImageViewTest::initTestCase()
{
    QVERIFY(_dir.isValid());
    _threePages = _dir.filePath(QStringLiteral("three.pdf"));
    QVERIFY(writeFixturePdf(_threePages, 3));
}

void PdfImageViewTest::pageRectangles_data()
{
    QTest::addColumn<QRectF>("bounds");
    QTest::addColumn<qint32>("page");
    QTest::addColumn<bool>("flipped");
    QTest::addColumn<QRectF>("expected");

    QTest::newRow("upright page 1 highest") << letter << 1 << false << QRectF(0, 1584, 612, 792);
    QTest::newRow("upright page 2") << letter << 2 << false << QRectF(0, 792, 612, 792);
    QTest::newRow("upright page 3 at origin") << letter << 3 << false << QRectF(0, 0, 612, 792);
    QTest::newRow("flipped page 1 at top") << letter << 1 << true << QRectF(0, 0, 612, 792);
    QTest::newRow("flipped page 3") << letter << 3 << true << QRectF(0, 1584, 612, 792);
    QTest::newRow("origin carried, upright")
        << QRectF(10, 20, 612, 792) << 1 << false << QRectF(10, 1604, 612, 792);
    QTest::newRow("origin carried, flipped")
        << QRectF(10, 20, 612, 792) << 2 << true << QRectF(10, 812, 612, 792);
    QTest::newRow("extreme page number does not wrap")
        << QRectF(0, 0, 1, 1) << std::numeric_limits<qint32>::min() << true
        << QRectF(0, -2147483649.0, 1, 1);
}

void PdfImageViewTest::pageRectangles()
{
    QFETCH(QRectF, bounds);
    QFETCH(qint32, page);
    QFETCH(bool, flipped);
    QFETCH(QRectF, expected);
    QCOMPARE(pageRect(bounds, 3, page, flipped), expected);
}

void PdfImageViewTest::heightCorrection_data()
{
    QTest::addColumn<QRectF>("bounds");
    QTest::addColumn<qint32>("pageCount");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<double>("expected");

    QTest::newRow("half width rounds in single precision") << letter << 3 << 306.0 << 1200.0 << 1188.0;
    QTest::newRow("2 off is kept") << letter << 3 << 306.0 << 1190.0 << 1190.0;
    QTest::newRow("4 off is corrected") << letter << 3 << 612.0 << 2380.0 << 2376.0;
    QTest::newRow("exactly 3 off is kept") << letter << 3 << 612.0 << 2379.0 << 2379.0;
    QTest::newRow("exactly 3 short is kept") << letter << 3 << 612.0 << 2373.0 << 2373.0;
    QTest::newRow("just over 3 short is corrected") << letter << 3 << 612.0 << 2372.9 << 2376.0;
    QTest::newRow("fractional stack rounds up") << QRectF(0, 0, 10, 10.25) << 1 << 10.0 << 0.0 << 11.0;
    QTest::newRow("no pages keeps any height") << QRectF() << 0 << 500.0 << 7.0 << 7.0;
}

void PdfImageViewTest::heightCorrection()
{
    QFETCH(QRectF, bounds);
    QFETCH(qint32, pageCount);
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(double, expected);
    QCOMPARE(correctedStackHeight(bounds, pageCount, width, height), expected);
}

void PdfImageViewTest::pageSpanHoldsEveryMeetingPage_data()
{
    QTest::addColumn<QRectF>("bounds");
    QTest::addColumn<QRectF>("area");
    QTest::addColumn<bool>("flipped");

    const QRectF a4(0, 0, 595.276, 841.89);
    const QRectF offset(5, 37.5, 612, 792);
    for (const bool flipped : {true, false}) {
        const char *side = flipped ? "flipped" : "upright";
        QTest::addRow("%s top", side) << letter << QRectF(0, 0, 100, 100) << flipped;
        QTest::addRow("%s across a join", side) << letter << QRectF(0, 395000, 100, 100) << flipped;
        QTest::addRow("%s exactly one page", side) << letter << QRectF(0, 7920, 612, 792) << flipped;
        QTest::addRow("%s bottom edge", side) << letter << QRectF(0, 791990, 50, 10) << flipped;
        QTest::addRow("%s below the stack", side) << letter << QRectF(0, 800000, 50, 10) << flipped;
        QTest::addRow("%s above the stack", side) << letter << QRectF(0, -500, 50, 10) << flipped;
        QTest::addRow("%s upside-down area", side) << letter << QRectF(0, 5000, 50, -300) << flipped;
        QTest::addRow("%s fractional pages", side) << a4 << QRectF(0, 841.89 * 617, 50, 1) << flipped;
        QTest::addRow("%s shifted stack", side) << offset << QRectF(0, 829.4, 50, 1) << flipped;
    }
}

void PdfImageViewTest::pageSpanHoldsEveryMeetingPage()
{
    QFETCH(QRectF, bounds);
    QFETCH(QRectF, area);
    QFETCH(bool, flipped);
    const qint32 count = 1000;

    QList<qint32> meeting;
    for (qint32 i = 0; i < count; ++i) {
        if (pageRect(bounds, count, i + 1, flipped).intersects(area))
            meeting.append(i);
    }
    const PageSpan span = pagesNear(bounds, count, area, flipped);
    for (const qint32 page : meeting)
        QVERIFY2(page >= span.first && page <= span.last, qPrintable(QString::number(page)));
    QVERIFY(span.last - span.first + 1 <= meeting.size() + 3);
}

void PdfImageViewTest::drawsOnlyPagesMeetingRedrawArea_data()
{
    QTest::addColumn<bool>("flipped");
    QTest::addColumn<QRectF>("dirty");
    QTest::addColumn<QList<qint32>>("pages");

    QTest::newRow("top of page 1") << true << QRectF(0, 0, 100, 100) << QList<qint32>{0};
    QTest::newRow("across pages 1 and 2") << true << QRectF(0, 700, 100, 200) << QList<qint32>{0, 1};
    QTest::newRow("edge touching page 1") << true << QRectF(0, 792, 10, 10) << QList<qint32>{1};
    QTest::newRow("everything") << true << QRectF(0, 0, 612, 2376) << QList<qint32>{0, 1, 2};
    QTest::newRow("below the stack") << true << QRectF(0, 2376, 10, 10) << QList<qint32>{};
    QTest::newRow("right of the pages") << true << QRectF(612, 0, 10, 10) << QList<qint32>{};
    QTest::newRow("empty area") << true << QRectF(10, 10, 0, 50) << QList<qint32>{};
    QTest::newRow("upright bottom is the last page") << false << QRectF(0, 0, 10, 10) << QList<qint32>{2};
    QTest::newRow("upright top is page 1") << false << QRectF(0, 2000, 10, 10) << QList<qint32>{0};
}

void PdfImageViewTest::drawsOnlyPagesMeetingRedrawArea()
{
    QFETCH(bool, flipped);
    QFETCH(QRectF, dirty);
    QFETCH(QList<qint32>, pages);

    RecordingSource source(3);
    QImage canvas(1, 1, QImage::Format_ARGB32);
    QPainter painter(&canvas);
    drawPageStack(painter, source, dirty, flipped);

    QCOMPARE(source.drawnPages, pages);
    for (qsizetype i = 0; i < pages.size(); ++i)
        QCOMPARE(source.drawnRects[i], pageRect(letter, 3, pages[i] + 1, flipped));
}

void PdfImageViewTest::loadStacksPages()
{
    PDFImageView view;
    view.loadFromPath(_threePages);

    QCOMPARE(view.size(), QSize(612, 2376));
    QVERIFY(view.pdfRep().has_value());
    QCOMPARE(view.pdfRep()->pageCount(), 3);
    QCOMPARE(view.pdfRep()->currentPage(), 0);
    PageRange range;
    QVERIFY(view.knowsPageRange(range));
    QCOMPARE(range.location, 1u);
    QCOMPARE(range.length, 3u);
    QCOMPARE(view.rectForPage(1), QRectF(0, 0, 612, 792));
    QCOMPARE(view.rectForPage(3), QRectF(0, 1584, 612, 792));
}

void PdfImageViewTest::unusableFileShowsNothing_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("exists");

    QTest::newRow("missing") << QByteArray() << false;
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("not a PDF") << QByteArray("%PDF-1.4 but nothing more") << true;
}

void PdfImageViewTest::unusableFileShowsNothing()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, exists);
    const QString path = _dir.filePath(QStringLiteral("unusable.pdf"));
    if (exists) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    PDFImageView view;
    view.loadFromPath(_threePages);
    view.loadFromPath(path);
    QFile::remove(path);

    QCOMPARE(view.size(), QSize(0, 0));
    QVERIFY(!view.pdfRep().has_value());
    PageRange range;
    QVERIFY(view.knowsPageRange(range));
    QCOMPARE(range.location, 1u);
    QCOMPARE(range.length, 0u);
    QCOMPARE(view.rectForPage(2), QRectF());
    view.setFrameSize(QSizeF(123, 457));
    QCOMPARE(view.size(), QSize(123, 457));

    QImage canvas(50, 50, QImage::Format_ARGB32);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    view.drawRect(painter, QRectF(0, 0, 50, 50));
    painter.end();
    QCOMPARE(canvas.pixel(25, 25), qRgb(255, 255, 255));
}

void PdfImageViewTest::setFrameSizeKeepsStackProportions_data()
{
    QTest::addColumn<QSizeF>("requested");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("half width, 2 off") << QSizeF(306, 1190) << QSize(306, 1190);
    QTest::newRow("half width, 12 off") << QSizeF(306, 1200) << QSize(306, 1188);
    QTest::newRow("4 off") << QSizeF(612, 2380) << QSize(612, 2376);
    QTest::newRow("3 off") << QSizeF(612, 2379) << QSize(612, 2379);
    QTest::newRow("double width") << QSizeF(1224, 100) << QSize(1224, 4752);
}

void PdfImageViewTest::setFrameSizeKeepsStackProportions()
{
    QFETCH(QSizeF, requested);
    QFETCH(QSize, expected);
    PDFImageView view;
    view.loadFromPath(_threePages);

    view.setFrameSize(requested);
    QCOMPARE(view.size(), expected);

    // A plain resize of a shown view takes the same road.
    view.show();
    view.resize(requested.toSize());
    QCOMPARE(view.size(), expected);
}

void PdfImageViewTest::paintsPagesIntoTheirRectangles()
{
    PDFImageView view;
    view.loadFromPath(_threePages);

    // A strip across the join of pages 1 and 2; outside it nothing is touched.
    const QRect dirty(100, 700, 300, 200);
    QImage canvas(612, 2376, QImage::Format_ARGB32);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    painter.setClipRect(dirty);
    view.drawRect(painter, QRectF(dirty));
    painter.end();

    QVERIFY(sameColor(canvas.pixel(200, 750), fixturePageColor(0)));
    QVERIFY(sameColor(canvas.pixel(200, 850), fixturePageColor(1)));
    QCOMPARE(canvas.pixel(50, 750), qRgb(0, 0, 0));
    QCOMPARE(canvas.pixel(200, 1700), qRgb(0, 0, 0));

    // The widget's own paint event draws the whole stack.
    const QImage shown = view.grab().toImage();
    QVERIFY(sameColor(shown.pixel(300, 2000), fixturePageColor(2)));
}

void PdfImageViewTest::resizableScrollAreaSettles()
{
    // A resizable scroll area forces its own height on the view, which the view
    // corrects, which the area overrides: this must settle instead of recursing.
    QScrollArea area;
    area.setWidgetResizable(true);
    auto *view = new PDFImageView;
    view->loadFromPath(_threePages);
    area.setWidget(view);
    area.resize(640, 480);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    area.resize(700, 500);
    QCoreApplication::processEvents();
    QVERIFY(view->width() > 0);
}

QTEST_MAIN(PdfImageViewTest)
#include "tst_pdfimageview.moc"
