#include "PortalDatabase.h"
#include "PortalClient.h"
#include "TestCertificates.h"

#include <QSqlQuery>
#include <QSslSocket>
#include <QtTest>

using namespace vk;

namespace {

constexpr int kGenerousMs = 30000;
const QByteArray kReader = "reader@example.test";
const QString kReaderPassword = QStringLiteral("reader-pw-77");
const QString kRequests = QStringLiteral("velkarn_portal_requests_total{endpoint=\"%1\",code=\"%2\"}");

using Samples = QMap<QString, double>; // name and labels as written -> value

// The samples of an exposition; none at all when a line is neither a comment
// nor a series and its number, or a series comes twice.
Samples parseExposition(const QByteArray &text)
{
    Samples samples;
    for (const QByteArray &line : text.split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const qsizetype space = line.lastIndexOf(' ');
        const QString series = QString::fromUtf8(line.left(space));
        bool numeric = false;
        const double value = line.mid(space + 1).toDouble(&numeric);
        if (space <= 0 || !numeric || samples.contains(series))
            return {};
        samples.insert(series, value);
    }
    return samples;
}

} // namespace

// The operator's health and metrics address: what it exposes, and that the
// counters follow real requests.
class PortalMetricsTest : public QObject
{
    Q_OBJECT

    TestCertificates m_certificates;
    PortalProcess m_portal;
    QString m_metricsUrl;
    PortalClient m_client;
    QString m_lastScrape;

    int post(const QString &endpoint, const QByteArray &body = {})
    {
        return m_client.post(m_portal, endpoint, body).status;
    }

    Samples scrape()
    {
        const QByteArray text = m_client.send(m_metricsUrl + "/metrics", "GET").body;
        m_lastScrape = QString::fromUtf8(text);
        return parseExposition(text);
    }

    // Counted once the answer has gone out, which the client may see first.
    bool rose(const Samples &before, const Samples &expected)
    {
        const Samples now = scrape();
        for (auto it = expected.begin(); it != expected.end(); ++it) {
            if (now.value(it.key()) - before.value(it.key()) != it.value())
                return false;
        }
        return true;
    }

    double openConnections()
    {
        return scrape().value(QStringLiteral("velkarn_portal_open_connections"), -1);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_certificates.create(), qPrintable(m_certificates.errorText()));
        m_client.trust(m_certificates.caCertificatePath());
        QVERIFY(addReader(m_portal, kReader, kReaderPassword));
        QVERIFY2(m_portal.start(m_certificates.serverCertificatePath(), m_certificates.serverKeyPath(),
                                {"--metrics-listen", "127.0.0.1:0", "--user-checks-per-minute", "2",
                                 "--status-updates-per-minute", "1"}),
                 m_portal.errors().constData());
        const QString line = m_portal.nextLine();
        QVERIFY2(line.startsWith("metrics on http://127.0.0.1:"), qPrintable(line));
        m_metricsUrl = line.mid(QStringLiteral("metrics on ").size());
    }

    void cleanupTestCase() { QCOMPARE(m_portal.stop(), 0); }

    void countersFollowRequests()
    {
        const Samples before = scrape();
        QVERIFY2(!before.isEmpty(), qPrintable(m_lastScrape));
        QCOMPARE(post("pdfloginupdate.php", "user=" + kReader + "&status=Y"), 200);
        // Updates are limited per client address, not per account, and a refused one changes nothing.
        QCOMPARE(post("pdfloginupdate.php", "user=" + kReader + "&status=N"), 429);
        QCOMPARE(post("pdfloginupdate.php", "user=nobody@example.test&status=N"), 429);
        QVERIFY(m_client.post(m_portal, "pdfuserchk.php", "user=" + kReader).body.startsWith("YYY"));
        QCOMPARE(post("pdfuserchk.php", "user=" + kReader), 200);
        // A refusal must not read as an answer about the account.
        const HttpAnswer refused = m_client.post(m_portal, "pdfuserchk.php", "user=" + kReader);
        QCOMPARE(refused.status, 429);
        QVERIFY(!refused.body.startsWith("N") && !refused.body.startsWith("Y"));
        QCOMPARE(m_client.send(m_portal.url() + "/books/" + QByteArray(32, 'a'), "GET").status, 404);
        // A book check the database fails.
        const auto renameBooks = [this](const char *from, const char *to) {
            ScopedConnection outside(m_portal.databasePath());
            return QSqlQuery(outside.database()).exec(QString("ALTER TABLE %1 RENAME TO %2").arg(from, to));
        };
        QVERIFY(renameBooks("books", "books_away"));
        QCOMPARE(post("pdfbookchk.php", "company=Acme&categoryname=K"), 503);
        QVERIFY(renameBooks("books_away", "books"));

        const Samples expected{
            {kRequests.arg("pdfuserchk.php", "200"), 2},
            {kRequests.arg("pdfuserchk.php", "429"), 1},
            {kRequests.arg("pdfloginupdate.php", "200"), 1},
            {kRequests.arg("pdfloginupdate.php", "429"), 2},
            {kRequests.arg("books", "404"), 1},
            {kRequests.arg("pdfbookchk.php", "503"), 1},
            {"velkarn_portal_request_duration_seconds_count{endpoint=\"pdfuserchk.php\"}", 3},
            {"velkarn_portal_rate_limited_total{endpoint=\"pdfuserchk.php\"}", 1},
            {"velkarn_portal_rate_limited_total{endpoint=\"pdfloginupdate.php\"}", 2},
            {"velkarn_portal_database_errors_total", 1},
        };
        QTRY_VERIFY2_WITH_TIMEOUT(rose(before, expected), qPrintable(m_lastScrape), kGenerousMs);
        for (const char *secret : {"reader@", "reader-pw", "127.0.0.1", "Acme", "aaaaaa"})
            QVERIFY2(!m_lastScrape.contains(QLatin1String(secret), Qt::CaseInsensitive), secret);

        QSslSocket held;
        held.setPeerVerifyMode(QSslSocket::VerifyNone);
        held.connectToHostEncrypted(QStringLiteral("127.0.0.1"), m_portal.port());
        QTRY_VERIFY_WITH_TIMEOUT(held.isEncrypted() && openConnections() >= 1, kGenerousMs);
        const double open = openConnections();
        held.abort();
        QTRY_VERIFY_WITH_TIMEOUT(openConnections() <= open - 1, kGenerousMs);
    }

    void healthFollowsTheDatabase()
    {
        const QString library = m_portal.databasePath();
        const HttpAnswer healthy = m_client.send(m_metricsUrl + "/healthz", "GET");
        QCOMPARE(healthy.status, 200);
        QCOMPARE(healthy.body, QByteArray("ok"));
        QVERIFY(QFile::rename(library, library + ".away"));
        const int broken = m_client.send(m_metricsUrl + "/healthz", "GET").status;
        const bool created = QFile::exists(library);
        QFile::remove(library);
        QVERIFY(QFile::rename(library + ".away", library));
        QCOMPARE(broken, 503);
        QVERIFY2(!created, "the health check left an empty library where the real one was");
        QCOMPARE(m_client.send(m_metricsUrl + "/healthz", "GET").status, 200);
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT(
            (log += m_portal.errors()).contains("health check: the database answers again"), kGenerousMs);
        QVERIFY(log.contains("health check failed: unable to open database file"));
    }

    // A portal that cannot serve its metrics does not start, and announces
    // nothing a supervisor could take for a running portal.
    void metricsAddressTaken()
    {
        const PortalCommand run = PortalProcess::run(
            {"serve", "--db", m_portal.databasePath(), "--listen", "127.0.0.1:0",
             "--cert", m_certificates.serverCertificatePath(), "--key", m_certificates.serverKeyPath(),
             "--metrics-listen", m_metricsUrl.mid(QStringLiteral("http://").size())});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.output, QByteArray());
        QVERIFY2(run.errors.contains("--metrics-listen: cannot listen on 127.0.0.1:"),
                 run.errors.constData());
    }
};

QTEST_GUILESS_MAIN(PortalMetricsTest)
#include "tst_portal_metrics.moc"
