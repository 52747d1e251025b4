#include "Frames.h"
#include "WindowSize.h"

#include <QtTest>

using namespace vk;

// The window's size comes from the screen it opens on; the page area and the
// toolbar follow it, while the panels keep their places.
class TestWindowSize : public QObject
{
    Q_OBJECT

private slots:
    void framesFollowTheScreen_data()
    {
        QTest::addColumn<QSize>("screen"); // device pixels
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<int>("panel");    // a desktop panel's height, logical pixels
        QTest::addColumn<QSize>("content");
        const QSize decoration = windowDecoration(22);
        QTest::newRow("1366 x 768: never below the least size")
            << QSize(1366, 768) << 1.0 << 32 << QSize(1366 - decoration.width(), 680);
        QTest::newRow("1920 x 1080")
            << QSize(1920, 1080) << 1.0 << 32 << QSize(1600, 1080 - 32 - decoration.height());
        QTest::newRow("3840 x 2160 at ratio 2")
            << QSize(3840, 2160) << 2.0 << 32 << QSize(1600, 1080 - 32 - decoration.height());
        QTest::newRow("800 x 600: the least size")
            << QSize(800, 600) << 1.0 << 0 << QSize(900, 680);
    }
    void framesFollowTheScreen()
    {
        QFETCH(QSize, screen);
        QFETCH(qreal, ratio);
        QFETCH(int, panel);
        QFETCH(QSize, content);
        const QSize available(qRound(screen.width() / ratio), qRound(screen.height() / ratio) - panel);
        const QSize decoration = windowDecoration(22);
        const QSize size = contentSizeFor(available, decoration);
        QCOMPARE(size, content);
        const int W = size.width();
        const int H = size.height();
        // Page area fills all but the toolbar strip, which stays on top.
        QCOMPARE(bottomLeftFrame(H, 0, 0, W - 1, H - 40), QRect(0, 40, W - 1, H - 40));
        QCOMPARE(bottomLeftFrame(H, 0, H - 40, W - 1, 40), QRect(0, 0, W - 1, 40));
    }
};

QTEST_APPLESS_MAIN(TestWindowSize)
#include "tst_windowsize.moc"
