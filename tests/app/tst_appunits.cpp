#include "AppDelegate.h"
#include "OpenPanel.h"
#include "WindowSize.h"

#include <QFileDialog>
#include <QLabel>
#include <QtTest>

using namespace vk;

// The window's pieces that need no window: the size it takes on a screen, the
// controls' font, and the file dialog's set-up and answer.
class TestAppUnits : public QObject
{
    Q_OBJECT

private slots:
    // As large as the screen's free area (logical pixels) allows, within the least and the widest size.
    void windowFitsTheScreen()
    {
        const QSize frame = windowDecoration(22);
        const QList<QPair<QSize, QSize>> rows{{{1366, 736}, {1366 - frame.width(), 680}},
                                              {{1920, 1048}, {1600, 1048 - frame.height()}},
                                              {{800, 600}, {900, 680}}};
        for (const auto &[available, content] : rows)
            QCOMPARE(contentSizeFor(available, frame), content);
    }

    void textSizeSetsTheNamedFont()
    {
        AppDelegate controller;
        QLabel control;
        controller.setTextSizeC(&control, 13.5);
        QCOMPARE(control.font().family(), QStringLiteral("ArialMT"));
        QCOMPARE(control.font().pointSizeF(), 13.5);
    }

    // One mode holds one kind of entry: files win when both may be chosen.
    void openPanelIsSetUp()
    {
        for (const auto &[files, folders, mode] : {std::tuple{true, false, QFileDialog::ExistingFile},
                                                   {false, true, QFileDialog::Directory},
                                                   {true, true, QFileDialog::ExistingFile}}) {
            QFileDialog dialog;
            configureOpenPanel(dialog, files, folders);
            QCOMPARE(dialog.fileMode(), mode);
            QCOMPARE(dialog.testOption(QFileDialog::ShowDirsOnly), !files && folders);
            QCOMPARE(dialog.windowTitle() + dialog.labelText(QFileDialog::LookIn), "Select FileSelect FILE");
        }
    }

    // Nothing when cancelled, else the path in URL form, a directory ending in "/".
    void openPanelAnswer()
    {
        QCOMPARE(vk::openPanelAnswer(QDialog::Rejected, "/tmp/a.pdf"), QString());
        QCOMPARE(vk::openPanelAnswer(QDialog::Accepted, "/books/my book%.pdf"), "/books/my%20book%25.pdf");
        QCOMPARE(vk::openPanelAnswer(QDialog::Accepted, "/tmp"), "/tmp/");
    }
};

QTEST_MAIN(TestAppUnits)
#include "tst_appunits.moc"
