#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>

// Where the portal is and which extra CA certificates to trust. Read from the
// environment (VELKARN_PORTAL_HOST, VELKARN_PORTAL_CA) with the build's default
// host; TLS verification is never switched off.
namespace vk::PortalSettings {
QString host();                            // host[:port]
QString baseUrl();                         // "https://" + host()
QList<QSslCertificate> extraCaCertificates(); // empty when unset or unreadable (logged)
// VELKARN_ALLOW_INSECURE_BOOKS=1: books may also come from http: and file:
// locations, for tests and local trials only. Read at every call.
bool allowInsecureBooks();
} // namespace vk::PortalSettings
