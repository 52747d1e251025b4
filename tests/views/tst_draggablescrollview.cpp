#include "DragScrollGeometry.h"
#include "DraggableScrollView.h"
#include "FixturePdf.h"
#include "PDFImageView.h"

#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

using PointList = QList<QPointF>;

class DraggableScrollViewTest : public QObject
{
    Q_OBJECT

private slots:
    void dragArithmetic_data();
    void dragArithmetic();
    void scrollingToARectangle_data();
    void scrollingToARectangle();

    void dragCursorIsTheSharedHand();
    void cursorFollowsDocumentSize_data();
    void cursorFollowsDocumentSize();
    void cursorFollowsLaterResizes();
    void mouseDragsThePages();
    void clickWithoutDragDoesNotScroll();
    void lostReleaseDoesNotSwallowNextClick();
};

void DraggableScrollViewTest::dragArithmetic_data()
{
    QTest::addColumn<PointList>("points");
    QTest::addColumn<bool>("flipped");
    QTest::addColumn<bool>("moved");
    QTest::addColumn<QPointF>("origin");

    // Pressed at (100, 100) in window coordinates (y up) while (0, 500) showed.
    QTest::newRow("no move") << PointList{} << false << false << QPointF(0, 500);
    QTest::newRow("exactly 1 point scrolls but is no move")
        << PointList{{101, 99}} << false << false << QPointF(-1, 501);
    QTest::newRow("just over 1 point in single precision stays 1")
        << PointList{{101.00000001, 100}} << false << false << QPointF(-1, 500);
    QTest::newRow("1.5 points is a move") << PointList{{100, 101.5}} << false << true << QPointF(0, 498.5);
    QTest::newRow("out and back") << PointList{{95, 100}, {100, 100}} << false << true << QPointF(0, 500);
    QTest::newRow("steps measure from the press")
        << PointList{{150, 100}, {120, 100}} << false << true << QPointF(-20, 500);
    QTest::newRow("pointer up, upright document") << PointList{{100, 110}} << false << true << QPointF(0, 490);
    QTest::newRow("pointer up, flipped document") << PointList{{100, 110}} << true << true << QPointF(0, 510);
    QTest::newRow("flipped keeps dx") << PointList{{90, 100}} << true << true << QPointF(10, 500);
}

void DraggableScrollViewTest::dragArithmetic()
{
    QFETCH(PointList, points);
    QFETCH(bool, flipped);
    QFETCH(bool, moved);
    QFETCH(QPointF, origin);

    const QPointF press(100, 100);
    const QRectF start(0, 500, 600, 400);
    DragStep step{start, false};
    for (const QPointF &point : points) {
        step = dragStep(press, point, start, flipped, step.moved);
        QCOMPARE(step.visible.size(), start.size());
    }
    QCOMPARE(step.moved, moved);
    QCOMPARE(step.visible.topLeft(), origin);
}

void DraggableScrollViewTest::scrollingToARectangle_data()
{
    QTest::addColumn<QRectF>("target");
    QTest::addColumn<QPointF>("origin");

    QTest::newRow("same size goes to the target") << QRectF(30, 250, 200, 100) << QPointF(30, 250);
    QTest::newRow("already shown stays") << QRectF(110, 110, 20, 20) << QPointF(100, 100);
    QTest::newRow("below aligns the bottom edge") << QRectF(150, 190, 20, 20) << QPointF(100, 110);
    QTest::newRow("above aligns the top edge") << QRectF(150, 40, 20, 20) << QPointF(100, 40);
}

void DraggableScrollViewTest::scrollingToARectangle()
{
    QFETCH(QRectF, target);
    QFETCH(QPointF, origin);
    QCOMPARE(originShowing(QRectF(100, 100, 200, 100), target), origin);
}

void DraggableScrollViewTest::dragCursorIsTheSharedHand()
{
    const QCursor cursor = DraggableScrollView::dragCursor();
    QCOMPARE(cursor.shape(), Qt::BitmapCursor);
    QCOMPARE(cursor.hotSpot(), QPoint(8, 8));
    const QImage image = cursor.pixmap().toImage();
    QCOMPARE(image.size(), QSize(32, 32));
    QVERIFY(qAlpha(image.pixel(8, 8)) > 0);
    QCOMPARE(qAlpha(image.pixel(31, 0)), 0);
    QCOMPARE(DraggableScrollView::dragCursor().pixmap().cacheKey(), cursor.pixmap().cacheKey());
}

void DraggableScrollViewTest::cursorFollowsDocumentSize_data()
{
    QTest::addColumn<QSize>("document");
    QTest::addColumn<bool>("hand");

    QTest::newRow("taller and wider") << QSize(800, 2000) << true;
    QTest::newRow("smaller") << QSize(500, 300) << false;
    QTest::newRow("exactly the visible area") << QSize(600, 400) << false;
    QTest::newRow("only wider") << QSize(601, 100) << true;
    QTest::newRow("only taller") << QSize(100, 401) << true;
}

void DraggableScrollViewTest::cursorFollowsDocumentSize()
{
    QFETCH(QSize, document);
    QFETCH(bool, hand);

    DraggableScrollView view;
    view.setFrameShape(QFrame::NoFrame);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *page = new QWidget;
    page->resize(document);
    view.setWidget(page);
    view.resize(600, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    QCOMPARE(view.canScroll(), hand);
    QCOMPARE(view.viewport()->cursor().shape(), hand ? Qt::BitmapCursor : Qt::ArrowCursor);
}

void DraggableScrollViewTest::cursorFollowsLaterResizes()
{
    DraggableScrollView view;
    view.setFrameShape(QFrame::NoFrame);
    auto *page = new QWidget;
    page->resize(500, 300);
    view.setWidget(page);
    view.resize(600, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.viewport()->cursor().shape(), Qt::ArrowCursor);

    page->resize(800, 2000);
    QCOMPARE(view.viewport()->cursor().shape(), Qt::BitmapCursor);

    view.resize(1000, 2500);
    QCOMPARE(view.viewport()->cursor().shape(), Qt::ArrowCursor);
}

// A shown draggable view over the three fixture pages (612 x 2376), scrolled to the top.
class DragFixture
{
public:
    DragFixture()
    {
        if (!dir.isValid() || !writeFixturePdf(dir.filePath(QStringLiteral("pages.pdf")), 3))
            return;
        scroll.setFrameShape(QFrame::NoFrame);
        scroll.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll.resize(600, 400);
        pages = new PDFImageView;
        scroll.setWidget(pages);
        pages->loadFromPath(dir.filePath(QStringLiteral("pages.pdf")));
        scroll.show();
        ready = QTest::qWaitForWindowExposed(&scroll);
    }

    QTemporaryDir dir;
    DraggableScrollView scroll;
    PDFImageView *pages = nullptr;
    bool ready = false;
};

void DraggableScrollViewTest::mouseDragsThePages()
{
    DragFixture fixture;
    QVERIFY(fixture.ready);
    DraggableScrollView &scroll = fixture.scroll;
    QCOMPARE(scroll.viewport()->cursor().shape(), Qt::BitmapCursor);
    QSignalSpy finished(&scroll, &DraggableScrollView::dragFinished);

    // Points on the pages, given in the coordinates of the view under the pointer.
    auto at = [&](int x, int y) { return fixture.pages->mapFrom(scroll.viewport(), QPoint(x, y)); };
    QTest::mousePress(fixture.pages, Qt::LeftButton, {}, at(300, 300));
    QVERIFY(scroll.isDragging());

    QTest::mouseMove(fixture.pages, at(300, 250));
    QCOMPARE(scroll.verticalScrollBar()->value(), 50);
    QTest::mouseMove(fixture.pages, at(290, 250));
    QCOMPARE(scroll.horizontalScrollBar()->value(), 10);
    QCOMPARE(scroll.verticalScrollBar()->value(), 50);
    // Beyond the end of the pages the view stops at the edge.
    QTest::mouseMove(fixture.pages, at(200, 350));
    QCOMPARE(scroll.horizontalScrollBar()->value(), 12);
    QCOMPARE(scroll.verticalScrollBar()->value(), 0);
    QTest::mouseMove(fixture.pages, at(300, 120));
    QCOMPARE(scroll.verticalScrollBar()->value(), 180);

    QTest::mouseRelease(fixture.pages, Qt::LeftButton, {}, at(300, 120));
    QVERIFY(!scroll.isDragging());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toBool(), true);
    QVERIFY(scroll.lastDragMoved());

    // Once released, moving the pointer no longer scrolls.
    QTest::mouseMove(fixture.pages, at(300, 300));
    QCOMPARE(scroll.verticalScrollBar()->value(), 180);
}

void DraggableScrollViewTest::clickWithoutDragDoesNotScroll()
{
    DragFixture fixture;
    QVERIFY(fixture.ready);
    DraggableScrollView &scroll = fixture.scroll;
    QSignalSpy finished(&scroll, &DraggableScrollView::dragFinished);

    const QPoint point = fixture.pages->mapFrom(scroll.viewport(), QPoint(300, 200));
    QTest::mouseClick(fixture.pages, Qt::LeftButton, {}, point);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toBool(), false);
    QCOMPARE(scroll.verticalScrollBar()->value(), 0);
    QCOMPARE(scroll.horizontalScrollBar()->value(), 0);
}

void DraggableScrollViewTest::lostReleaseDoesNotSwallowNextClick()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *scroll = new DraggableScrollView;
    auto *page = new QWidget;
    page->resize(800, 2000);
    scroll->setWidget(page);
    auto *button = new QPushButton(QStringLiteral("OK"));
    layout->addWidget(scroll);
    layout->addWidget(button);
    window.resize(600, 400);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy finished(scroll, &DraggableScrollView::dragFinished);
    QSignalSpy clicked(button, &QPushButton::clicked);

    // A drag whose release never arrives.
    const QPointF inside = scroll->viewport()->mapToGlobal(QPointF(100, 100));
    const QMouseEvent press(QEvent::MouseButtonPress, QPointF(100, 100), inside, Qt::LeftButton,
                            Qt::LeftButton, Qt::NoModifier);
    scroll->dragDocumentWithMouseDown(&press);
    QVERIFY(scroll->isDragging());

    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(!scroll->isDragging());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(clicked.count(), 1);
}

QTEST_MAIN(DraggableScrollViewTest)
#include "tst_draggablescrollview.moc"
