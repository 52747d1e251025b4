#pragma once

#include <QString>
#include <QStringList>

namespace vk {

struct ListenAddress
{
    QString host;
    quint16 port = 0;
};

// "HOST:PORT" or "[IPv6]:PORT", given as --option. Throws CommandError.
ListenAddress parseListenAddress(const QString &text, const QString &option = QStringLiteral("listen"));

// "SCHEME://HOST:PORT", with brackets around an IPv6 literal.
QString serverUrl(const QString &scheme, const QString &host, quint16 port);
QString httpsUrl(const QString &host, quint16 port);

// Runs the portal until SIGTERM or SIGINT. Throws CommandError when it cannot start.
int runServe(const QStringList &args);

} // namespace vk
