#include "TestCertificates.h"

#include <QProcess>

bool TestCertificates::create()
{
    const QString subjectAltName = QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1");
    const QStringList newCertificate{"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2"};
    return openssl(newCertificate + QStringList{"-subj", "/CN=Velkarn Test CA", "-keyout", path("ca.key"),
                                                "-out", caCertificatePath(),
                                                "-addext", "basicConstraints=critical,CA:TRUE",
                                                "-addext", "keyUsage=critical,keyCertSign,cRLSign"})
        && openssl(newCertificate + QStringList{"-subj", "/CN=localhost", "-CA", caCertificatePath(),
                                                "-CAkey", path("ca.key"), "-addext", subjectAltName,
                                                "-addext", "basicConstraints=CA:FALSE",
                                                "-addext", "extendedKeyUsage=serverAuth", "-addext",
                                                "keyUsage=critical,digitalSignature,keyEncipherment",
                                                "-keyout", serverKeyPath(), "-out", serverCertificatePath()})
        && openssl(newCertificate + QStringList{"-subj", "/CN=localhost", "-addext", subjectAltName,
                                                "-keyout", untrustedKeyPath(),
                                                "-out", untrustedCertificatePath()});
}

bool TestCertificates::openssl(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    // Key generation on a busy shared machine can take a while.
    const bool finished = process.waitForFinished(120000);
    if (finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    m_error = QStringLiteral("openssl %1 failed: %2")
                  .arg(arguments.first(), finished ? QString::fromLocal8Bit(process.readAll()).trimmed()
                                                   : process.errorString());
    return false;
}
