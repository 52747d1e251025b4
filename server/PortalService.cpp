#include "PortalService.h"

#include "ClientKey.h"
#include "PortalAnswers.h"
#include "RequestBody.h"
#include "RequestLog.h"

#include <QDateTime>
#include <QDir>
#include <QRegularExpression>

namespace vk {

namespace {

const QString kAdminPrefix = QStringLiteral("/adminportal/");
const QString kBooksPrefix = QStringLiteral("/books/");

PortalReply reply(int status, const QByteArray &body)
{
    PortalReply r;
    r.status = status;
    r.body = body;
    return r;
}

} // namespace

PortalService::PortalService(const PortalConfig &config)
    : m_config(config)
    , m_database(config.databasePath)
    , m_clock([] { return QDateTime::currentMSecsSinceEpoch(); })
    , m_userChecks(config.userChecksPerMinute)
    , m_statusUpdates(config.statusUpdatesPerMinute)
{
}

void PortalService::setClock(std::function<qint64()> clock)
{
    m_clock = std::move(clock);
}

PortalReply PortalService::handle(const PortalRequest &request)
{
    auto step = begin(request);
    if (const auto *update = std::get_if<StatusWrite>(&step))
        return write(*update);
    return std::get<PortalReply>(step);
}

std::variant<PortalReply, StatusWrite> PortalService::begin(const PortalRequest &request)
{
    if (request.body.size() > kMaxBodyBytes)
        return reply(413, "request body too large");
    if (request.path.startsWith(kBooksPrefix)) {
        if (request.method != QStringLiteral("GET") && request.method != QStringLiteral("HEAD"))
            return reply(405, "method not allowed");
        return bookFile(request.path.mid(kBooksPrefix.size()));
    }
    if (!request.path.startsWith(kAdminPrefix))
        return reply(404, "not found");
    const QString endpoint = request.path.mid(kAdminPrefix.size());
    const bool known = endpoint == QStringLiteral("pdfserverchk.php")
        || endpoint == QStringLiteral("pdfuserchk.php") || endpoint == QStringLiteral("pdfbookchk.php")
        || endpoint == QStringLiteral("pdfloginupdate.php");
    if (!known)
        return reply(404, "not found");
    if (request.method != QStringLiteral("POST"))
        return reply(405, "method not allowed");
    if (endpoint == QStringLiteral("pdfserverchk.php"))
        return serverCheck();
    if (endpoint == QStringLiteral("pdfuserchk.php"))
        return userCheck(request);
    if (endpoint == QStringLiteral("pdfbookchk.php"))
        return bookCheck(request);
    return statusUpdate(request);
}

// The reason goes to the log on a line of its own; the client learns only
// that the library is unavailable.
PortalReply PortalService::unavailable(const QString &what, const QString &error)
{
    m_metrics.databaseError();
    writeLogLine(QStringLiteral("%1 database error in %2: %3")
                     .arg(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs), what,
                          loggableText(error, 512)));
    return reply(503, "library unavailable, try again");
}

template<typename Query>
auto PortalService::withConnection(QueryStatus *status, Query query)
{
    // A connection opened just now has nothing stale to blame; trying again
    // would only double the wait on a database that does not answer.
    const bool retry = m_database.hasConnection();
    auto result = query();
    if (status->ok)
        return result;
    m_database.discardConnection();
    return retry ? query() : result;
}

std::unique_lock<std::mutex> PortalService::writeTurn()
{
    return m_database.engine().oneWriterAtATime() ? std::unique_lock(m_writes) : std::unique_lock<std::mutex>();
}

std::optional<PortalReply> PortalService::limit(const QString &kind, int perMinute, const QString &client)
{
    if (perMinute <= 0)
        return std::nullopt;
    const qint64 now = m_clock();
    const bool userCheck = kind == QStringLiteral("user");
    bool admitted = false;
    if (m_database.engine().countsInLibrary()) {
        QueryStatus status;
        const auto turn = writeTurn();
        admitted = withConnection(&status, [&] { return admitEvent(m_database, kind, client, perMinute, now, &status); });
        if (!status.ok)
            return unavailable(userCheck ? QStringLiteral("user check") : QStringLiteral("status update"), status.error);
        // One request a minute per process clears what no longer counts.
        const qint64 minute = now / 60000;
        qint64 forgotten = m_countsForgottenMinute.loadRelaxed();
        if (forgotten < minute && m_countsForgottenMinute.testAndSetRelaxed(forgotten, minute))
            forgetOldCounts(m_database, now);
    } else {
        admitted = (userCheck ? m_userChecks : m_statusUpdates).allow(client, now);
    }
    if (admitted)
        return std::nullopt;
    return userCheck ? reply(429, "too many user checks, try again in a minute")
                     : reply(429, "too many status updates, try again in a minute");
}

PortalReply PortalService::serverCheck()
{
    return reply(200, serverCheckAnswer());
}

PortalReply PortalService::userCheck(const PortalRequest &request)
{
    if (auto refused = limit(QStringLiteral("user"), m_config.userChecksPerMinute, clientKey(request.client)))
        return *refused;
    const UserCheckBody body = parseUserCheckBody(request.body);
    if (!body.valid)
        return reply(200, unknownUserAnswer());
    QueryStatus status;
    const qint64 ttlMs = qint64(m_config.onlineTtlHours * 3600.0 * 1000.0);
    const auto account = withConnection(&status, [&] {
        return findAccount(m_database, body.user, m_clock(), ttlMs, &status);
    });
    if (!status.ok)
        return unavailable(QStringLiteral("user check"), status.error);
    return reply(200, account ? loginAnswer(*account) : unknownUserAnswer());
}

PortalReply PortalService::bookCheck(const PortalRequest &request)
{
    const BookCheckBody body = parseBookCheckBody(request.body);
    if (!body.valid)
        return reply(200, noBooksAnswer());
    QueryStatus status;
    const QList<StoredBook> stored = withConnection(
        &status, [&] { return findBooks(m_database, body.company, body.category, &status); });
    if (!status.ok)
        return unavailable(QStringLiteral("book check"), status.error);
    QList<BookRecord> books;
    for (const StoredBook &book : stored) {
        const QString location =
            book.url.isEmpty() ? m_config.publicUrl + kBooksPrefix + book.token : book.url;
        books.append({book.name, location, book.password});
    }
    return reply(200, bookAnswer(books));
}

std::variant<PortalReply, StatusWrite> PortalService::statusUpdate(const PortalRequest &request)
{
    const StatusBody body = parseStatusBody(request.body);
    if (!body.valid || (body.status != QStringLiteral("Y") && body.status != QStringLiteral("N")))
        return reply(400, "0");
    return StatusWrite{body.user, body.status == QStringLiteral("Y"), clientKey(request.client)};
}

PortalReply PortalService::write(const StatusWrite &update)
{
    // Counted per address like user checks: unlimited, they would sign anyone
    // out and tell known addresses from unknown ones at full speed.
    if (auto refused = limit(QStringLiteral("status"), m_config.statusUpdatesPerMinute, update.client))
        return *refused;
    QueryStatus status;
    const auto turn = writeTurn();
    const bool recorded = withConnection(&status, [&] {
        return recordOnline(m_database, update.user, update.online, m_clock(), &status);
    });
    if (!status.ok)
        return unavailable(QStringLiteral("status update"), status.error);
    return recorded ? reply(200, "1") : reply(404, "0");
}

PortalReply PortalService::bookFile(const QString &token)
{
    static const QRegularExpression kTokenPattern(QStringLiteral("^[0-9a-f]{32}$"));
    if (!kTokenPattern.match(token).hasMatch())
        return reply(404, "not found");
    QueryStatus status;
    const QString file =
        withConnection(&status, [&] { return findBookFile(m_database, token, &status); });
    if (!status.ok)
        return unavailable(QStringLiteral("book download"), status.error);
    if (file.isEmpty())
        return reply(404, "not found");
    PortalReply r;
    r.filePath = QDir(m_config.storeDir).filePath(file);
    return r;
}

} // namespace vk
