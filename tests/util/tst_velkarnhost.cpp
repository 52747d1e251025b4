#include "velkarn.h"

#include "SystemFacts.h"

#include <QTest>

#include <sys/utsname.h>

class TestVelkarnHost : public QObject
{
    Q_OBJECT

private slots:
    void runCommandMergesOutput_data();
    void runCommandMergesOutput();
    void kernelValues_data();
    void kernelValues();
    void hostNameIsFirstLabel();
    void registryEntry();
    void certificates();
    void emailForm_data();
    void emailForm();
};

void TestVelkarnHost::runCommandMergesOutput_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("expected");
    QTest::newRow("stdout") << "echo hi" << "hi\n:Task Completed:";
    QTest::newRow("nothing") << "true" << ":Task Completed:";
    QTest::newRow("stderr") << "echo oops >&2" << "oops\n:Task Completed:";
    QTest::newRow("interleaved") << "echo 1; echo 2 >&2; echo 3" << "1\n2\n3\n:Task Completed:";
    QTest::newRow("failing command") << "exit 3" << ":Task Completed:";
    QTest::newRow("no stdin to wait for") << "cat" << ":Task Completed:";
    QTest::newRow("not UTF-8") << "printf '\\377'" << QString();
}

void TestVelkarnHost::runCommandMergesOutput()
{
    QFETCH(QString, command);
    QFETCH(QString, expected);
    const QString output = velkarn::runCommand(command);
    QCOMPARE(output, expected);
    QCOMPARE(output.isNull(), expected.isNull());
}

void TestVelkarnHost::kernelValues_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    QTest::newRow("kern") << "kern.hostname" << "/proc/sys/kernel/hostname";
    QTest::newRow("other tree") << "vm.swappiness" << "/proc/sys/vm/swappiness";
    QTest::newRow("climbing out") << "kern/../../etc/passwd" << "";
    QTest::newRow("empty label") << "kern..x" << "";
    QTest::newRow("empty") << "" << "";
}

void TestVelkarnHost::kernelValues()
{
    QFETCH(QString, name);
    QFETCH(QString, path);
    QCOMPARE(procSysPathOf(name), path);
    if (path.isEmpty())
        QVERIFY(velkarn::systemInfoString(name.toUtf8().constData()).isNull());
}

void TestVelkarnHost::hostNameIsFirstLabel()
{
    struct utsname facts;
    QCOMPARE(uname(&facts), 0);
    QCOMPARE(velkarn::systemInfoString("kern.hostname"), QString::fromUtf8(facts.nodename));
    QCOMPARE(velkarn::systemInfoString("kern.ostype"), QString::fromUtf8(facts.sysname));
    QCOMPARE(velkarn::hostName(), QString::fromUtf8(facts.nodename).section('.', 0, 0));
    QVERIFY(velkarn::systemInfoString("kern.no_such_value").isNull());
    QVERIFY(!velkarn::hostName().contains('.'));
}

void TestVelkarnHost::registryEntry()
{
    velkarn v;
    QVERIFY(v.strIORegistryEntry("NoSuchProperty").isNull());
    QCOMPARE(v.kVarSysInfoPlatformExpert, QString("IOPlatformExpertDevice"));
    QCOMPARE(dmiFileOf("IOPlatformSerialNumber"), QString("/sys/class/dmi/id/product_serial"));
    QCOMPARE(dmiFileOf("manufacturer"), QString("/sys/class/dmi/id/sys_vendor"));
}

void TestVelkarnHost::certificates()
{
    velkarn v;
    const QString listing = "1) ABC \"Developer ID Application: A (X1)\"\n2) DEF \"Developer ID Installer: A (X1)\"\n";
    const QStringList found = v.GetCerts(listing);
    QCOMPARE(found, QStringList({"Developer ID Installer: A (X1)", "Developer ID Application: A (X1)"}));
    QCOMPARE(v.tmparray, found);
    QCOMPARE(v.GetCerts("Developer ID Application: A"), QStringList({""}));
    QVERIFY(v.GetCerts("nothing here").isEmpty());

    QCOMPARE(velkarn::Cert2use("Developer ID Application: A (X1)"), QString("Developer ID Application: A (X1) Non Store App"));
    QCOMPARE(velkarn::Cert2use("Developer ID Installer: A (X1)"), QString("Developer ID Installer: A (X1) Non Store Installer"));
    QCOMPARE(velkarn::Cert2use("3rd Party Mac Developer Installer: A (X1)"), QString("3rd Party Mac Developer Installer: A (X1) Store Installer"));
    QCOMPARE(velkarn::Cert2use("3rd Party Mac Developer Application: A"), QString("3rd Party Mac Developer Application: A Store App"));
    QCOMPARE(velkarn::Cert2use("Other"), QString("Other"));
}

void TestVelkarnHost::emailForm_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("valid");
    QTest::newRow("plain") << "ann.lee+books@mail.example.org" << 1;
    QTest::newRow("64 letters") << "a@b." + QString(64, 'x') << 1;
    QTest::newRow("65 letters") << "a@b." + QString(65, 'x') << 0;
    QTest::newRow("one letter") << "a@b.c" << 0;
    QTest::newRow("no dot after @") << "a@example" << 0;
    QTest::newRow("nothing before @") << "@example.org" << 0;
    QTest::newRow("trailing space") << "a@example.org " << 0;
    QTest::newRow("text around") << "mail a@example.org now" << 0;
}

void TestVelkarnHost::emailForm()
{
    QFETCH(QString, address);
    QFETCH(int, valid);
    QCOMPARE(velkarn::validateEmail2(address), quint8(valid));
}

QTEST_APPLESS_MAIN(TestVelkarnHost)
#include "tst_velkarnhost.moc"
