#include "velkarn-tool-command.h"

#include <QProcess>
#include <QTest>

class TestVelkarnTool : public QObject
{
    Q_OBJECT

private slots:
    void parsesArguments_data();
    void parsesArguments();
    void runsAsProgram_data();
    void runsAsProgram();
};

void TestVelkarnTool::parsesArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("second");
    QTest::addColumn<bool>("base64");
    QTest::newRow("decode") << QStringList{"decode", "50464646"} << true << -1 << false;
    QTest::newRow("second after text") << QStringList{"encode", "abc", "--second", "59"} << true << 59 << false;
    QTest::newRow("base64") << QStringList{"decodenew", "--base64", "QUJD"} << true << -1 << true;
    QTest::newRow("dated") << QStringList{"encodenew", "--second", "0", "t", "k"} << true << 0 << false;
    QTest::newRow("no command") << QStringList{} << false << -1 << false;
    QTest::newRow("unknown") << QStringList{"scramble", "x"} << false << -1 << false;
    QTest::newRow("second 60") << QStringList{"encode", "--second", "60", "x"} << false << -1 << false;
    QTest::newRow("second missing") << QStringList{"encode", "x", "--second"} << false << -1 << false;
    QTest::newRow("second on decoder") << QStringList{"decode", "--second", "5", "x"} << false << -1 << false;
    QTest::newRow("base64 elsewhere") << QStringList{"decodecrc", "--base64", "x"} << false << -1 << false;
    QTest::newRow("missing key") << QStringList{"encodenew", "t"} << false << -1 << false;
    QTest::newRow("extra operand") << QStringList{"decode", "a", "b"} << false << -1 << false;
    QTest::newRow("two from stdin") << QStringList{"encodenew", "-", "-"} << false << -1 << false;
}

void TestVelkarnTool::parsesArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, valid);
    QFETCH(int, second);
    QFETCH(bool, base64);
    QString error;
    const auto command = parseVelkarnToolArguments(arguments, &error);
    QCOMPARE(command.has_value(), valid);
    QCOMPARE(error.isEmpty(), valid);
    if (command) {
        QCOMPARE(command->second, second);
        QCOMPARE(command->base64, base64);
    }
}

void TestVelkarnTool::runsAsProgram_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("error");
    QTest::newRow("decode") << QStringList{"decode", "50464646"} << QByteArray() << 0 << QByteArray("abc\n") << QByteArray();
    QTest::newRow("encode") << QStringList{"encode", "--second", "5", "abc"} << QByteArray() << 0 << QByteArray("50464646\n") << QByteArray();
    QTest::newRow("stdin") << QStringList{"encode", "--second", "5", "-"} << QByteArray("abc\n") << 0 << QByteArray("50464646\n") << QByteArray();
    QTest::newRow("crc ok") << QStringList{"decodecrc", "0000012650464646"} << QByteArray() << 0 << QByteArray("abc\n") << QByteArray("checksum: ok\n");
    QTest::newRow("crc mismatch") << QStringList{"decodecrc", "0000012750464646"} << QByteArray() << 1 << QByteArray("abc\n") << QByteArray("checksum: mismatch\n");
    QTest::newRow("dated rejected") << QStringList{"decodenew", "xxinvalid"} << QByteArray() << 1 << QByteArray() << QByteArray("rejected: the text contains \"invalid\"\n");
    QTest::newRow("not Latin-1") << QStringList{"encode", QString::fromUtf8("€")} << QByteArray() << 1 << QByteArray() << QByteArray("error: only characters up to U+00FF can be encoded\n");
    QTest::newRow("usage") << QStringList{"decode"} << QByteArray() << 2 << QByteArray() << QByteArray("velkarn-tool: decode takes one TEXT\nusage:");
}

void TestVelkarnTool::runsAsProgram()
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

QTEST_APPLESS_MAIN(TestVelkarnTool)
#include "tst_velkarntool.moc"
