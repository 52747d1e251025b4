#include "TestCertificates.h"

#include <QFile>
#include <QProcess>

bool TestCertificates::create()
{
    const QString subjectAltName = QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1");
    QFile extensions(path("server.ext"));
    if (!m_dir.isValid() || !extensions.open(QIODevice::WriteOnly)
        || extensions.write(subjectAltName.toLatin1()
                            + "\nbasicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment"
                              "\nextendedKeyUsage=serverAuth\n") < 0) {
        m_error = QStringLiteral("cannot write %1").arg(extensions.fileName());
        return false;
    }
    extensions.close();

    const QString days = QStringLiteral("2");
    return openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", days,
                    "-subj", "/CN=Velkarn Test CA", "-keyout", path("ca.key"), "-out", caCertificatePath(),
                    "-addext", "basicConstraints=critical,CA:TRUE",
                    "-addext", "keyUsage=critical,keyCertSign,cRLSign"})
        && openssl({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost",
                    "-keyout", serverKeyPath(), "-out", path("server.csr")})
        && openssl({"x509", "-req", "-in", path("server.csr"), "-days", days,
                    "-CA", caCertificatePath(), "-CAkey", path("ca.key"), "-set_serial", "2",
                    "-extfile", extensions.fileName(), "-out", serverCertificatePath()})
        && openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", days,
                    "-subj", "/CN=localhost", "-addext", subjectAltName,
                    "-keyout", untrustedKeyPath(), "-out", untrustedCertificatePath()});
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
