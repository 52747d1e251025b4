#include "velkarn.h"

#include <QTest>

#include <sys/utsname.h>

class TestVelkarnHost : public QObject
{
    Q_OBJECT

private slots:
    // Output and errors in the order written, then the end mark; stdin is closed; text that
    // is not UTF-8 gives a null string.
    void runCommand()
    {
        const QList<QPair<QString, QString>> cases{{"echo hi", "hi\n:Task Completed:"},
                                                   {"exit 3", ":Task Completed:"},
                                                   {"echo 1; echo 2 >&2; echo 3", "1\n2\n3\n:Task Completed:"},
                                                   {"cat", ":Task Completed:"},
                                                   {"printf '\\377'", QString()}};
        for (const auto &[command, expected] : cases) {
            const QString output = velkarn::runCommand(command);
            QCOMPARE(output, expected);
            QCOMPARE(output.isNull(), expected.isNull());
        }
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

    void emailForm()
    {
        QCOMPARE(velkarn::validateEmail2("ann.lee+books@mail.example.org"), quint8(1));
        // At most 64 letters after the last dot; a dot must follow the @; nothing may trail.
        QCOMPARE(velkarn::validateEmail2("a@b." + QString(64, 'x')), quint8(1));
        for (const QString &refused : {"a@b." + QString(65, 'x'), QString("a@example"),
                                       QString("a@example.org ")})
            QCOMPARE(velkarn::validateEmail2(refused), quint8(0));
    }
};

QTEST_APPLESS_MAIN(TestVelkarnHost)
#include "tst_velkarnhost.moc"
