#include "BookLocation.h"

namespace vk {

QString bookLocationRefusal(const QUrl &url, bool allowInsecure)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return {};
    const bool insecure = scheme == QLatin1String("http") || scheme == QLatin1String("file");
    if (insecure && allowInsecure)
        return {};
    // QUrl admits only letters, digits, "+", "-" and "." in a scheme; the cut
    // keeps a hostile one from filling the log line.
    const QString shown = scheme.left(32);
    if (insecure)
        return QStringLiteral("book location refused: scheme \"%1\" (only https is allowed)").arg(shown);
    return QStringLiteral("book location refused: unsupported scheme \"%1\"").arg(shown);
}

} // namespace vk
