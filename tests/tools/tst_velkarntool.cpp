#include "velkarn-tool-command.h"

#include <QProcess>
#include <QTest>

using namespace vk;

class TestVelkarnTool : public QObject
{
    Q_OBJECT

private slots:
    // The second to encode at, -1 when none was given; -2 here stands for arguments refused.
    void parsesArguments()
    {
        const QList<QPair<QStringList, int>> cases{{{"encode", "abc", "--second", "59"}, 59},
                                                   {{"encodenew", "--second", "0", "t", "k"}, 0},
                                                   {{"decodenew", "--base64", "QUJD"}, -1},
                                                   {{}, -2},
                                                   {{"encode", "--second", "60", "x"}, -2},
                                                   {{"encodenew", "-", "-"}, -2}};
        for (const auto &[arguments, second] : cases) {
            QString error;
            const auto command = parseVelkarnToolArguments(arguments, &error);
            QCOMPARE(command ? command->second : -2, second);
            QCOMPARE(error.isEmpty(), bool(command));
        }
    }

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
        QTest::newRow("crc mismatch") << QStringList{"decodecrc", "0000012750464646"} << none << 1
                                      << QByteArray("abc\n") << QByteArray("checksum: mismatch\n");
        QTest::newRow("dated rejected") << QStringList{"decodenew", "xxinvalid"} << none << 1 << none
                                        << QByteArray("rejected: the text contains \"invalid\"\n");
        QTest::newRow("not Latin-1") << QStringList{"encode", QString::fromUtf8("€")} << none << 1 << none
                                     << QByteArray("error: only characters up to U+00FF");
        QTest::newRow("usage") << QStringList{"decode"} << none << 2 << none
                               << QByteArray("velkarn-tool: decode takes one TEXT\nusage:");
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
