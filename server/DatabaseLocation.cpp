#include "DatabaseLocation.h"

#include "CommandLine.h"

#include <QUrl>
#include <QUrlQuery>

namespace vk {

namespace {

// libpq settings a URL may carry; anything else is more likely a typo than a wish.
const QStringList kAllowedSettings = {
    QStringLiteral("sslmode"), QStringLiteral("sslrootcert"), QStringLiteral("sslcert"), QStringLiteral("sslkey"),
    QStringLiteral("connect_timeout"), QStringLiteral("application_name"), QStringLiteral("target_session_attrs"),
};

bool isSafeSettingValue(const QString &value)
{
    for (const QChar c : value) {
        if (c == u';' || c == u'\'' || c == u'\\' || c.unicode() < 0x20)
            return false;
    }
    return true;
}

} // namespace

DatabaseLocation parseDatabaseLocation(const QString &text)
{
    DatabaseLocation location;
    const bool postgres = text.startsWith(QStringLiteral("postgresql://")) || text.startsWith(QStringLiteral("postgres://"));
    if (!postgres) {
        location.path = text;
        return location;
    }
    const QUrl url(text, QUrl::StrictMode);
    const QString usage = QStringLiteral("--db takes a file or postgresql://user@host:port/dbname, not \"%1\"");
    if (!url.isValid())
        throw CommandError{usage.arg(url.toDisplayString(QUrl::RemovePassword))};
    if (!url.password().isEmpty())
        throw CommandError{QStringLiteral("--db must not carry a password: put it in PGPASSWORD or ~/.pgpass")};
    location.engine = Engine::Postgres;
    location.host = url.host();
    location.port = url.port(-1);
    location.user = url.userName();
    location.name = url.path().mid(1);
    if (location.name.isEmpty() || location.name.contains(QLatin1Char('/')))
        throw CommandError{usage.arg(text)};
    const QUrlQuery query(url);
    QStringList settings;
    for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (!kAllowedSettings.contains(key) || !isSafeSettingValue(value))
            throw CommandError{QStringLiteral("--db: the setting \"%1\" is not taken here").arg(key)};
        settings.append(key + QLatin1Char('=') + value);
    }
    location.options = settings.join(QLatin1Char(';'));
    return location;
}

QString describeLocation(const DatabaseLocation &location)
{
    if (location.engine == Engine::Sqlite)
        return location.path;
    QString text = QStringLiteral("postgresql://");
    if (!location.user.isEmpty())
        text += location.user + QLatin1Char('@');
    text += location.host.contains(QLatin1Char(':')) ? QLatin1Char('[') + location.host + QLatin1Char(']') : location.host;
    if (location.port >= 0)
        text += QLatin1Char(':') + QString::number(location.port);
    return text + QLatin1Char('/') + location.name;
}

} // namespace vk
