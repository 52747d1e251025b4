#include "velkarn.h"

#include <QTest>

#include <sys/utsname.h>

class TestVelkarnHost : public QObject
{
    Q_OBJECT

private slots:
    void runCommand_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("expected");
        QTest::newRow("stdout") << "echo hi" << "hi\n:Task Completed:";
        QTest::newRow("nothing") << "exit 3" << ":Task Completed:";
        QTest::newRow("stderr interleaved") << "echo 1; echo 2 >&2; echo 3" << "1\n2\n3\n:Task Completed:";
        QTest::newRow("no stdin to wait for") << "cat" << ":Task Completed:";
        QTest::newRow("not UTF-8") << "printf '\\377'" << QString();
    }
    void runCommand()
    {
        QFETCH(QString, command);
        QFETCH(QString, expected);
        const QString output = velkarn::runCommand(command);
        QCOMPARE(output, expected);
        QCOMPARE(output.isNull(), expected.isNull());
    }

    void hostFacts()
    {
        for (const char *outside : {"kern/../../etc/passwd", "kern..x", "", "kern.no_such_value"})
            QVERIFY(velkarn::systemInfoString(outside).isNull());
        struct utsname facts;
        QCOMPARE(uname(&facts), 0);
        QCOMPARE(velkarn::systemInfoString("kern.ostype"), QString::fromUtf8(facts.sysname));
        QCOMPARE(velkarn::hostName(), QString::fromUtf8(facts.nodename).section('.', 0, 0));
    }

    void certificates()
    {
        velkarn v;
        const QString application = "Developer ID Application: A (X1)";
        const QString installer = "Developer ID Installer: A (X1)";
        const QString listed = "1) \"" + application + "\"\n2) \"" + installer + "\"";
        QCOMPARE(v.GetCerts(listed), (QStringList{installer, application}));
        QCOMPARE(v.GetCerts("Developer ID Application: A"), QStringList({""}));
        QCOMPARE(velkarn::Cert2use(application), application + " Non Store App");
        QCOMPARE(velkarn::Cert2use("3rd Party Mac Developer Installer: A"),
                 QString("3rd Party Mac Developer Installer: A Store Installer"));
        QCOMPARE(velkarn::Cert2use("Other"), QString("Other"));
    }

    void emailForm_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("valid");
        QTest::newRow("plain") << "ann.lee+books@mail.example.org" << 1;
        QTest::newRow("64 letters") << "a@b." + QString(64, 'x') << 1;
        QTest::newRow("65 letters") << "a@b." + QString(65, 'x') << 0;
        QTest::newRow("no dot after @") << "a@example" << 0;
        QTest::newRow("trailing space") << "a@example.org " << 0;
    }
    void emailForm()
    {
        QFETCH(QString, address);
        QFETCH(int, valid);
        QCOMPARE(velkarn::validateEmail2(address), quint8(valid));
    }
};

QTEST_APPLESS_MAIN(TestVelkarnHost)
#include "tst_velkarnhost.moc"
