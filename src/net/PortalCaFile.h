#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>

namespace vk {

// Reads every PEM certificate of one file, uncached. An empty path means none
// were asked for; a file that yields no certificate is logged once and gives none.
QList<QSslCertificate> readPortalCaFile(const QString &path);

} // namespace vk
