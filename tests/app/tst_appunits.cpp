#include "OpenPanel.h"
#include "WindowSize.h"

#include <QDialog>
#include <QtTest>

using namespace vk;

// The window's pieces that need no window: the size it takes on a screen and
// the file dialog's answer.
class TestAppUnits : public QObject
{
    Q_OBJECT

private slots:
    // As large as the screen's free area allows, within the least and the widest size.
    void windowFitsTheScreen_data()
    {
        QTest::addColumn<QSize>("screen"); // device pixels
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<int>("panel"); // a desktop panel's height, logical pixels
        QTest::addColumn<QSize>("content");
        const QSize decoration = windowDecoration(22);
        QTest::newRow("1366 x 768: never below the least size")
            << QSize(1366, 768) << 1.0 << 32 << QSize(1366 - decoration.width(), 680);
        QTest::newRow("1920 x 1080") << QSize(1920, 1080) << 1.0 << 32
                                     << QSize(1600, 1080 - 32 - decoration.height());
        QTest::newRow("3840 x 2160 at ratio 2") << QSize(3840, 2160) << 2.0 << 32
                                                << QSize(1600, 1080 - 32 - decoration.height());
        QTest::newRow("800 x 600: the least size") << QSize(800, 600) << 1.0 << 0 << QSize(900, 680);
    }
    void windowFitsTheScreen()
    {
        QFETCH(QSize, screen);
        QFETCH(qreal, ratio);
        QFETCH(int, panel);
        QFETCH(QSize, content);
        const QSize available(qRound(screen.width() / ratio), qRound(screen.height() / ratio) - panel);
        QCOMPARE(contentSizeFor(available, windowDecoration(22)), content);
    }

    // What the file dialog hands back: nothing when cancelled, else the path
    // in URL form, a directory ending in "/".
    void openPanelAnswer_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("answer");
        QTest::newRow("cancelled") << int(QDialog::Rejected) << "/tmp/a.pdf" << QString();
        QTest::newRow("nothing chosen") << int(QDialog::Accepted) << QString() << QString();
        QTest::newRow("escapes kept") << int(QDialog::Accepted) << "/books/my book%.pdf"
                                      << "/books/my%20book%25.pdf";
        QTest::newRow("directory") << int(QDialog::Accepted) << "/tmp" << "/tmp/";
    }
    void openPanelAnswer()
    {
        QFETCH(int, result);
        QFETCH(QString, path);
        QFETCH(QString, answer);
        QCOMPARE(vk::openPanelAnswer(result, path), answer);
    }
};

QTEST_MAIN(TestAppUnits)
#include "tst_appunits.moc"
