#pragma once

#include <QString>

namespace vk {

// A throw-away certificate authority and a server certificate it signed, for
// localhost and 127.0.0.1, made with the openssl command. Files written in
// `dir`: ca.pem, ca.key, server.pem, server.key.
// Returns an error text, empty on success.
QString makeDemoCertificates(const QString &dir);

// True when dir holds a server certificate that ca.pem verifies and that
// stays valid for at least another day.
bool demoCertificatesUsable(const QString &dir);

} // namespace vk
