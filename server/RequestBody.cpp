#include "RequestBody.h"

namespace vk {

namespace {

// Bytes that are not UTF-8 cannot name anything stored, so they make the body
// invalid instead of being replaced by U+FFFD and matching something else.
// Nor can a NUL (no stored name holds a control character), which PostgreSQL
// would refuse as a query value: both engines answer it as an unknown name.
bool decodeUtf8(const QByteArray &bytes, QString *out)
{
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes || bytes.contains('\0'))
        return false;
    *out = text;
    return true;
}

} // namespace

UserCheckBody parseUserCheckBody(const QByteArray &body)
{
    UserCheckBody result;
    const QByteArray prefix = "user=";
    if (!body.startsWith(prefix))
        return result;
    result.valid = decodeUtf8(body.mid(prefix.size()), &result.user);
    return result;
}

StatusBody parseStatusBody(const QByteArray &body)
{
    StatusBody result;
    const QByteArray prefix = "user=";
    const QByteArray separator = "&status=";
    if (!body.startsWith(prefix))
        return result;
    const qsizetype split = body.lastIndexOf(separator);
    if (split < prefix.size())
        return result;
    result.valid = decodeUtf8(body.mid(prefix.size(), split - prefix.size()), &result.user)
        && decodeUtf8(body.mid(split + separator.size()), &result.status);
    return result;
}

BookCheckBody parseBookCheckBody(const QByteArray &body)
{
    BookCheckBody result;
    const QByteArray prefix = "company=";
    const QByteArray separator = "&categoryname=";
    if (!body.startsWith(prefix))
        return result;
    const qsizetype split = body.indexOf(separator, prefix.size());
    if (split < 0)
        return result;
    result.valid = decodeUtf8(body.mid(prefix.size(), split - prefix.size()), &result.company)
        && decodeUtf8(body.mid(split + separator.size()), &result.category);
    return result;
}

} // namespace vk
