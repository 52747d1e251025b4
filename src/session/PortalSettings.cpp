#include "PortalSettings.h"

#include "PortalCaFile.h"

namespace vk::PortalSettings {

QString host()
{
    const QString fromEnvironment = qEnvironmentVariable("VELKARN_PORTAL_HOST");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStringLiteral(VELKARN_DEFAULT_PORTAL_HOST);
}

QString baseUrl()
{
    return QStringLiteral("https://") + host();
}

QList<QSslCertificate> extraCaCertificates()
{
    // Read once: every request asks, and the file does not change while we run.
    static const QList<QSslCertificate> certificates =
        readPortalCaFile(qEnvironmentVariable("VELKARN_PORTAL_CA"));
    return certificates;
}

bool allowInsecureBooks()
{
    return qEnvironmentVariable("VELKARN_ALLOW_INSECURE_BOOKS") == QLatin1String("1");
}

} // namespace vk::PortalSettings
