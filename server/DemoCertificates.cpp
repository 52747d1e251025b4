#include "DemoCertificates.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace vk {

namespace {

QString runOpenssl(const QStringList &args, const QString &workDir)
{
    QProcess openssl;
    openssl.setWorkingDirectory(workDir);
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"), args);
    if (!openssl.waitForStarted())
        return QStringLiteral("cannot run openssl (install the openssl package)");
    openssl.closeWriteChannel();
    openssl.waitForFinished(60000);
    if (openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0)
        return QStringLiteral("openssl %1 failed: %2")
            .arg(args.first(), QString::fromLocal8Bit(openssl.readAll()).trimmed());
    return {};
}

} // namespace

QString makeDemoCertificates(const QString &dir)
{
    if (!QDir().mkpath(dir))
        return QStringLiteral("cannot create %1").arg(dir);
    // Built in a scratch directory and moved in at the end, so a failure never
    // leaves a key without its certificate.
    QTemporaryDir scratch(QDir(dir).filePath(QStringLiteral(".certs-XXXXXX")));
    if (!scratch.isValid())
        return QStringLiteral("cannot create a scratch directory in %1").arg(dir);
    const QString work = scratch.path();
    {
        QFile extensions(QDir(work).filePath(QStringLiteral("server.ext")));
        if (!extensions.open(QIODevice::WriteOnly))
            return QStringLiteral("cannot write in %1").arg(work);
        extensions.write("basicConstraints = critical, CA:FALSE\n"
                         "keyUsage = critical, digitalSignature, keyEncipherment\n"
                         "extendedKeyUsage = serverAuth\n"
                         "subjectAltName = DNS:localhost, IP:127.0.0.1, IP:::1\n");
    }
    const QList<QStringList> steps = {
        {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
         QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
         QStringLiteral("-keyout"), QStringLiteral("ca.key"), QStringLiteral("-out"), QStringLiteral("ca.pem"),
         QStringLiteral("-days"), QStringLiteral("3650"), QStringLiteral("-subj"),
         QStringLiteral("/CN=Velkarn Demo CA"), QStringLiteral("-addext"),
         QStringLiteral("basicConstraints=critical,CA:TRUE"), QStringLiteral("-addext"),
         QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")},
        {QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
         QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
         QStringLiteral("server.key"), QStringLiteral("-out"), QStringLiteral("server.csr"),
         QStringLiteral("-subj"), QStringLiteral("/CN=localhost")},
        {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), QStringLiteral("server.csr"),
         QStringLiteral("-CA"), QStringLiteral("ca.pem"), QStringLiteral("-CAkey"), QStringLiteral("ca.key"),
         QStringLiteral("-CAcreateserial"), QStringLiteral("-out"), QStringLiteral("server.pem"),
         QStringLiteral("-days"), QStringLiteral("825"), QStringLiteral("-extfile"), QStringLiteral("server.ext")},
    };
    for (const QStringList &step : steps) {
        const QString error = runOpenssl(step, work);
        if (!error.isEmpty())
            return error;
    }
    for (const QString &name : {QStringLiteral("ca.pem"), QStringLiteral("ca.key"), QStringLiteral("server.pem"),
                                QStringLiteral("server.key")}) {
        const QString target = QDir(dir).filePath(name);
        QFile::remove(target);
        if (!QFile::rename(QDir(work).filePath(name), target))
            return QStringLiteral("cannot move %1 into %2").arg(name, dir);
    }
    return {};
}

bool demoCertificatesUsable(const QString &dir)
{
    const QDir d(dir);
    for (const QString &name : {QStringLiteral("ca.pem"), QStringLiteral("server.pem"), QStringLiteral("server.key")}) {
        if (!QFile::exists(d.filePath(name)))
            return false;
    }
    return runOpenssl({QStringLiteral("verify"), QStringLiteral("-CAfile"), QStringLiteral("ca.pem"),
                       QStringLiteral("server.pem")}, dir).isEmpty()
        && runOpenssl({QStringLiteral("x509"), QStringLiteral("-checkend"), QStringLiteral("86400"),
                       QStringLiteral("-noout"), QStringLiteral("-in"), QStringLiteral("server.pem")}, dir).isEmpty();
}

} // namespace vk
