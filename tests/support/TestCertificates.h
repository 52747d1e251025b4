#pragma once

#include <QSslCertificate>
#include <QTemporaryDir>

// Throw-away certificates for 127.0.0.1: a CA, a server certificate it signed, one no CA vouches for.
class TestCertificates
{
public:
    // Makes every file; false (with errorText()) when openssl is missing or fails.
    bool create();
    QString errorText() const { return m_error; }

    QString caCertificatePath() const { return path("ca.pem"); }
    QList<QSslCertificate> caCertificates() const { return QSslCertificate::fromPath(caCertificatePath()); }
    QString serverCertificatePath() const { return path("server.pem"); }
    QString serverKeyPath() const { return path("server.key"); }
    QString untrustedCertificatePath() const { return path("untrusted.pem"); }
    QString untrustedKeyPath() const { return path("untrusted.key"); }

private:
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    bool openssl(const QStringList &arguments);

    QTemporaryDir m_dir;
    QString m_error;
};
