#include <QProcess>
#include <QTest>

class TestVelkarnTool : public QObject
{
    Q_OBJECT

private slots:
    void runsAsProgram()
    {
        const QByteArray none;
        // arguments, standard input, exit code, standard output, start of standard error
        const QList<std::tuple<QStringList, QByteArray, int, QByteArray, QByteArray>> rows{
            {{"decode", "50464646"}, none, 0, "abc\n", none},
            {{"encode", "--second", "5", "-"}, "abc\n", 0, "50464646\n", none},
            {{"encode", "--second", "59", "abc"}, none, 0, "B3A5E5E5\n", none},
            {{"encodenew", "--second", "0", "t", "k"}, none, 0, "000000740C0000006B00B60047\n", none},
            {{"decodenew", "--base64", "MDAwMDAwNzQwQzAwMDAwMDZCMDBCNjAwNDc="}, none, 0, "t\n", "checksum: ok\n"},
            {{"decodecrc", "0000012750464646"}, none, 1, "abc\n", "checksum: mismatch\n"},
            {{"decodenew", "xxinvalid"}, none, 1, none, "rejected: the text contains \"invalid\"\n"},
            {{"encode", QString::fromUtf8("€")}, none, 1, none, "error: only characters up to U+00FF"},
            {{"decode"}, none, 2, none, "velkarn-tool: decode takes one TEXT\nusage:"},
            {{"encode", "--second", "60", "x"}, none, 2, none, "velkarn-tool: --second needs a number"},
            {{"encodenew", "-", "-"}, none, 2, none, "velkarn-tool: only one operand can"}};
        for (const auto &[arguments, input, exitCode, output, error] : rows) {
            QProcess tool;
            tool.start(VELKARN_TOOL, arguments);
            QVERIFY(tool.waitForStarted());
            tool.write(input);
            tool.closeWriteChannel();
            QVERIFY(tool.waitForFinished(60000));
            QCOMPARE(tool.exitCode(), exitCode);
            QCOMPARE(tool.readAllStandardOutput(), output);
            QVERIFY2(tool.readAllStandardError().startsWith(error), qPrintable(arguments.join(u' ')));
        }
    }
};

QTEST_APPLESS_MAIN(TestVelkarnTool)
#include "tst_velkarntool.moc"
