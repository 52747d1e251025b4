#include "NameRules.h"

#include <QUrl>

namespace vk {

namespace {

bool isPrintableAscii(const QString &value)
{
    for (QChar c : value) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    }
    return true;
}

bool hasControlCharacter(const QString &value)
{
    for (QChar c : value) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

} // namespace

QString checkPlainName(const QString &what, const QString &value)
{
    if (value.isEmpty())
        return QStringLiteral("%1 must not be empty").arg(what);
    if (value.contains(QLatin1Char('^')))
        return QStringLiteral("%1 \"%2\" must not contain \"^\"").arg(what, value);
    if (hasControlCharacter(value))
        return QStringLiteral("%1 must not contain control characters").arg(what);
    return {};
}

QString checkCompanyName(const QString &value)
{
    const QString plain = checkPlainName(QStringLiteral("company name"), value);
    if (!plain.isEmpty())
        return plain;
    if (value.contains(QStringLiteral("&categoryname=")))
        return QStringLiteral("company name must not contain \"&categoryname=\"");
    return {};
}

QString checkAddress(const QString &value)
{
    return checkPlainName(QStringLiteral("address"), value);
}

QString checkAccountPassword(const QString &value)
{
    if (value.isEmpty())
        return QStringLiteral("password must not be empty");
    if (!isPrintableAscii(value))
        return QStringLiteral("password must be printable ASCII (the viewer's encoding carries nothing else)");
    return {};
}

QString checkBookPassword(const QString &value)
{
    const QString account = checkAccountPassword(value);
    if (!account.isEmpty())
        return account;
    if (value == QStringLiteral("none"))
        return QStringLiteral("book password must not be \"none\": the viewer reads it as no password");
    return {};
}

QString checkBookUrl(const QString &value)
{
    const QUrl url(value, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!isPrintableAscii(value) || !url.isValid() || url.host().isEmpty()
        || (scheme != QStringLiteral("https") && scheme != QStringLiteral("http")))
        return QStringLiteral("book URL \"%1\" is not an absolute http(s) URL in ASCII").arg(value);
    return {};
}

} // namespace vk
