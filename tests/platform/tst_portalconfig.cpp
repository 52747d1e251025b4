#include "PortalCaFile.h"
#include "PortalSettings.h"
#include "TestCertificates.h"

#include <QFile>
#include <QtTest>

using namespace vk;

class TestPortalConfig : public QObject
{
    Q_OBJECT

    TestCertificates m_certificates;
    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &contents)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
            qFatal("cannot write %s", qPrintable(file.fileName()));
        return file.fileName();
    }

private slots:
    void initTestCase() { QVERIFY2(m_certificates.create(), qPrintable(m_certificates.errorText())); }

    // An empty override, as a shell leaves it, must not produce "https://".
    void emptyHostOverrideKeepsTheBuildDefault()
    {
        qputenv("VELKARN_PORTAL_HOST", "");
        QCOMPARE(PortalSettings::baseUrl(), QStringLiteral("https://" VELKARN_DEFAULT_PORTAL_HOST));
        qunsetenv("VELKARN_PORTAL_HOST");
    }

    void caFileYieldsItsCertificates_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("count");
        QFile ca(m_certificates.caCertificatePath());
        QFile server(m_certificates.serverCertificatePath());
        QVERIFY(ca.open(QIODevice::ReadOnly) && server.open(QIODevice::ReadOnly));
        const QByteArray caPem = ca.readAll();
        QTest::newRow("bundle of two") << write("bundle.pem", caPem + server.readAll()) << 2;
        QTest::newRow("name with wildcard characters") << write("ca[1]*.pem", caPem) << 1;
        QTest::newRow("no such file") << m_dir.filePath("absent.pem") << 0;
        QTest::newRow("not PEM") << write("garbage.pem", "not a certificate\n") << 0;
    }

    void caFileYieldsItsCertificates()
    {
        QFETCH(QString, path);
        QFETCH(int, count);
        const QList<QSslCertificate> certificates = readPortalCaFile(path);
        QCOMPARE(certificates.size(), count);
        if (count > 0)
            QCOMPARE(certificates.first().subjectInfo(QSslCertificate::CommonName), QStringList{"Velkarn Test CA"});
    }
};

QTEST_GUILESS_MAIN(TestPortalConfig)
#include "tst_portalconfig.moc"
