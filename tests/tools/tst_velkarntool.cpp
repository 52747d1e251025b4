#include <QProcess>
#include <QTest>

class TestVelkarnTool : public QObject
{
    Q_OBJECT

private slots:
    void runsAsProgram_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QByteArray>("error");
        const QByteArray none;
        QTest::newRow("decode") << QStringList{"decode", "50464646"} << none << 0 << QByteArray("abc\n") << none;
        QTest::newRow("stdin") << QStringList{"encode", "--second", "5", "-"} << QByteArray("abc\n") << 0
                               << QByteArray("50464646\n") << none;
        QTest::newRow("last second") << QStringList{"encode", "--second", "59", "abc"} << none << 0
                                     << QByteArray("B3A5E5E5\n") << none;
        QTest::newRow("first second, option before operands")
            << QStringList{"encodenew", "--second", "0", "t", "k"} << none << 0
            << QByteArray("000000740C0000006B00B60047\n") << none;
        QTest::newRow("base64") << QStringList{"decodenew", "--base64", "MDAwMDAwNzQwQzAwMDAwMDZCMDBCNjAwNDc="}
                                << none << 0 << QByteArray("t\n") << QByteArray("checksum: ok\n");
        QTest::newRow("crc mismatch") << QStringList{"decodecrc", "0000012750464646"} << none << 1
                                      << QByteArray("abc\n") << QByteArray("checksum: mismatch\n");
        QTest::newRow("dated rejected") << QStringList{"decodenew", "xxinvalid"} << none << 1 << none
                                        << QByteArray("rejected: the text contains \"invalid\"\n");
        QTest::newRow("not Latin-1") << QStringList{"encode", QString::fromUtf8("€")} << none << 1 << none
                                     << QByteArray("error: only characters up to U+00FF");
        QTest::newRow("usage") << QStringList{"decode"} << none << 2 << none
                               << QByteArray("velkarn-tool: decode takes one TEXT\nusage:");
        QTest::newRow("second out of range") << QStringList{"encode", "--second", "60", "x"} << none << 2
                                             << none << QByteArray("velkarn-tool: --second needs a number");
        QTest::newRow("two operands from stdin") << QStringList{"encodenew", "-", "-"} << none << 2 << none
                                                 << QByteArray("velkarn-tool: only one operand can");
    }
    void runsAsProgram()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, output);
        QFETCH(QByteArray, error);
        QProcess tool;
        tool.start(VELKARN_TOOL, arguments);
        QVERIFY(tool.waitForStarted());
        tool.write(input);
        tool.closeWriteChannel();
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), exitCode);
        QCOMPARE(tool.readAllStandardOutput(), output);
        QVERIFY(tool.readAllStandardError().startsWith(error));
    }
};

QTEST_APPLESS_MAIN(TestVelkarnTool)
#include "tst_velkarntool.moc"
