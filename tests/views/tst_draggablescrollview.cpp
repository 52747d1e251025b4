#include "DragScrollGeometry.h"
#include "DraggableScrollView.h"
#include "PDFImageView.h"
#include "PdfFixtures.h"

#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

using namespace vk;

using PointList = QList<QPointF>;

class DraggableScrollViewTest : public QObject
{
    Q_OBJECT

private slots:
    void dragArithmetic_data()
    {
        QTest::addColumn<PointList>("points");
        QTest::addColumn<bool>("flipped");
        QTest::addColumn<bool>("moved");
        QTest::addColumn<QPointF>("origin");

        // Pressed at (100, 100) in window coordinates (y up) while (0, 500) showed.
        QTest::newRow("exactly 1 point scrolls but is no move")
            << PointList{{101, 99}} << false << false << QPointF(-1, 501);
        QTest::newRow("just over 1 point in single precision stays 1")
            << PointList{{101.00000001, 100}} << false << false << QPointF(-1, 500);
        QTest::newRow("out and back") << PointList{{95, 100}, {100, 100}} << false << true << QPointF(0, 500);
        QTest::newRow("pointer up, upright document") << PointList{{100, 110}} << false << true << QPointF(0, 490);
    }

    void dragArithmetic()
    {
        QFETCH(PointList, points);
        QFETCH(bool, flipped);
        QFETCH(bool, moved);
        QFETCH(QPointF, origin);
        const QRectF start(0, 500, 600, 400);
        DragStep step{start, false};
        for (const QPointF &point : points)
            step = dragStep(QPointF(100, 100), point, start, flipped, step.moved);
        QCOMPARE(step.moved, moved);
        QCOMPARE(step.visible, QRectF(origin, start.size()));
    }

    void cursorFollowsDocumentSize()
    {
        DraggableScrollView view;
        view.setFrameShape(QFrame::NoFrame);
        auto *page = new QWidget;
        page->resize(500, 300);
        view.setWidget(page);
        view.resize(600, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        auto shape = [&] { return view.viewport()->cursor().shape(); };
        QCOMPARE(shape(), Qt::ArrowCursor);

        page->resize(800, 2000);
        QCOMPARE(shape(), Qt::BitmapCursor);
        view.resize(1000, 2500);
        QCOMPARE(shape(), Qt::ArrowCursor);
        page->resize(1001, 100);
        QCOMPARE(shape(), Qt::BitmapCursor);
    }

    void mouseDragsThePages()
    {
        QTemporaryDir dir;
        QVERIFY(PdfFixtures::writeFile(dir.filePath(QStringLiteral("pages.pdf")), PdfFixtures::colouredPdf(3)));
        DraggableScrollView scroll;
        scroll.setFrameShape(QFrame::NoFrame);
        scroll.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll.resize(600, 400);
        auto *pages = new PDFImageView;
        scroll.setWidget(pages);
        pages->loadFromPath(dir.filePath(QStringLiteral("pages.pdf")));
        scroll.show();
        QVERIFY(QTest::qWaitForWindowExposed(&scroll));
        QSignalSpy finished(&scroll, &DraggableScrollView::dragFinished);
        auto at = [&](int x, int y) { return pages->mapFrom(scroll.viewport(), QPoint(x, y)); };
        auto offset = [&] {
            return QPoint(scroll.horizontalScrollBar()->value(), scroll.verticalScrollBar()->value());
        };

        QTest::mouseClick(pages, Qt::LeftButton, {}, at(300, 200));
        QCOMPARE(finished.takeFirst().first().toBool(), false);
        QCOMPARE(offset(), QPoint(0, 0));

        QTest::mousePress(pages, Qt::LeftButton, {}, at(300, 300));
        QVERIFY(scroll.isDragging());
        QTest::mouseMove(pages, at(290, 250));
        QCOMPARE(offset(), QPoint(10, 50));
        // Past the ends of the pages the view stops at the edges.
        QTest::mouseMove(pages, at(200, 350));
        QCOMPARE(offset(), QPoint(12, 0));
        QTest::mouseMove(pages, at(300, 120));
        QCOMPARE(offset(), QPoint(0, 180));
        QTest::mouseRelease(pages, Qt::LeftButton, {}, at(300, 120));
        QCOMPARE(finished.takeFirst().first().toBool(), true);

        // Once released, moving the pointer no longer scrolls.
        QTest::mouseMove(pages, at(300, 300));
        QCOMPARE(offset(), QPoint(0, 180));
    }

    void lostReleaseDoesNotSwallowNextClick()
    {
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *scroll = new DraggableScrollView;
        auto *button = new QPushButton(QStringLiteral("OK"));
        layout->addWidget(scroll);
        layout->addWidget(button);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy finished(scroll, &DraggableScrollView::dragFinished);
        QSignalSpy clicked(button, &QPushButton::clicked);

        // A drag whose release never arrives, then a click elsewhere in the window.
        const QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), scroll->mapToGlobal(QPointF(5, 5)),
                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        scroll->dragDocumentWithMouseDown(&press);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!scroll->isDragging());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(clicked.count(), 1);
    }
};

QTEST_MAIN(DraggableScrollViewTest)
#include "tst_draggablescrollview.moc"
