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

class DraggableScrollViewTest : public QObject
{
    Q_OBJECT

private slots:
    // Pressed at (100, 100) in window coordinates (y up) while (0, 500) of an upright document showed.
    void dragArithmetic()
    {
        const QRectF start(0, 500, 600, 400);
        const struct {
            QList<QPointF> points;
            bool moved;
            QPointF origin;
        } cases[] = {{{{101, 99}}, false, {-1, 501}},            // exactly 1 point scrolls but is no move
                     {{{101.00000001, 100}}, false, {-1, 500}}, // just over 1 point, in single precision
                     {{{95, 100}, {100, 100}}, true, {0, 500}}, // out and back
                     {{{100, 110}}, true, {0, 490}}};           // pointer up
        for (const auto &[points, moved, origin] : cases) {
            DragStep step{start, false};
            for (const QPointF &point : points)
                step = dragStep(QPointF(100, 100), point, start, false, step.moved);
            QCOMPARE(step.moved, moved);
            QCOMPARE(step.visible, QRectF(origin, start.size()));
        }
    }

    // The hand cursor shows while the pages are larger than the view, whichever of them changed.
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
        QCOMPARE(scroll.viewport()->cursor().shape(), Qt::BitmapCursor);

        QTest::mouseClick(pages, Qt::LeftButton, {}, at(300, 200));
        QCOMPARE(finished.takeFirst().first().toBool(), false);
        QCOMPARE(offset(), QPoint(0, 0));

        QTest::mousePress(pages, Qt::LeftButton, {}, at(300, 300));
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
        scroll.resize(700, 2400);
        QCOMPARE(scroll.viewport()->cursor().shape(), Qt::ArrowCursor);
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
