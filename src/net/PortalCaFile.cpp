#include "PortalCaFile.h"

#include "Log.h"

#include <QFileInfo>

namespace vk {

QList<QSslCertificate> readPortalCaFile(const QString &path)
{
    if (path.isEmpty())
        return {};
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(path);
    if (certificates.isEmpty()) {
        const QFileInfo info(path);
        const QString reason = !info.exists()                      ? QStringLiteral("missing")
            : !info.isFile() || !info.isReadable() ? QStringLiteral("not a readable file")
                                                   : QStringLiteral("holds no PEM certificate");
        logLine(QStringLiteral("VELKARN_PORTAL_CA %1: %2; no extra CA certificates trusted")
                    .arg(path, reason));
    }
    return certificates;
}

} // namespace vk
