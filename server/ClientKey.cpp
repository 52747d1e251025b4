#include "ClientKey.h"

#include <QHostAddress>

namespace vk {

QString clientKey(const QString &address)
{
    const QHostAddress host(address);
    if (host.protocol() != QAbstractSocket::IPv6Protocol)
        return address;
    bool mapped = false;
    const quint32 v4 = host.toIPv4Address(&mapped);
    if (mapped)
        return QHostAddress(v4).toString();
    Q_IPV6ADDR bytes = host.toIPv6Address();
    for (int i = 8; i < 16; ++i)
        bytes[i] = 0;
    return QHostAddress(bytes).toString() + QStringLiteral("/64");
}

} // namespace vk
