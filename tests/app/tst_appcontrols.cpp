#include "AppDelegate.h"
#include "OpenPanel.h"

#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QtTest>

using namespace vk;

// The two controller operations no control of the window calls.
class TestAppControls : public QObject
{
    Q_OBJECT

private slots:
    void textSizeSetsTheNamedFont()
    {
        AppDelegate controller;
        QLabel control;
        controller.setTextSizeC(&control, 13.5);
        QCOMPARE(control.font().family(), QStringLiteral("ArialMT"));
        QCOMPARE(control.font().pointSizeF(), 13.5);
    }

    void openPanelIsSetUp_data()
    {
        QTest::addColumn<bool>("files");
        QTest::addColumn<bool>("directories");
        QTest::addColumn<int>("mode");
        QTest::newRow("files") << true << false << int(QFileDialog::ExistingFile);
        QTest::newRow("directories") << false << true << int(QFileDialog::Directory);
        QTest::newRow("both") << true << true << int(QFileDialog::ExistingFile);
    }
    void openPanelIsSetUp()
    {
        QFETCH(bool, files);
        QFETCH(bool, directories);
        QFETCH(int, mode);
        QFileDialog dialog;
        configureOpenPanel(dialog, files, directories);
        QCOMPARE(int(dialog.fileMode()), mode);
        QCOMPARE(dialog.testOption(QFileDialog::ShowDirsOnly), !files && directories);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Select File"));
        QCOMPARE(dialog.labelText(QFileDialog::LookIn), QStringLiteral("Select FILE"));
    }

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

QTEST_MAIN(TestAppControls)
#include "tst_appcontrols.moc"
