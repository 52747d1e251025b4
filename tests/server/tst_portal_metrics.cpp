#include "PortalDatabase.h"
#include "PortalMetrics.h"
#include "PortalProcess.h"
#include "TestCertificates.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSslCertificate>
#include <QSslSocket>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

constexpr int kGenerousMs = 30000;
const QString kReader = QStringLiteral("reader@example.test");
const QString kReaderPassword = QStringLiteral("reader-pw-77");

using Samples = QMap<QString, double>;

// Reads the Prometheus text format (0.0.4) strictly: every line must be a
// HELP, TYPE or sample line of the right shape; every sample must belong to
// a family typed before it; counters end in _total and never go below 0;
// each histogram's buckets rise with "le", end at +Inf and agree with its
// count. Returns the samples by name and labels as written, or the first
// fault in `error`.
Samples parseExposition(const QByteArray &text, QString *error)
{
    static const QRegularExpression comment(QStringLiteral(R"(^# (HELP|TYPE) ([a-zA-Z_:][a-zA-Z0-9_:]*) (.*)$)"));
    static const QRegularExpression sampleLine(
        QStringLiteral(R"(^([a-zA-Z_:][a-zA-Z0-9_:]*)(?:\{(.*)\})? (\S+)(?: -?[0-9]+)?$)"));
    static const QRegularExpression label(QStringLiteral(R"re(([a-zA-Z_][a-zA-Z0-9_]*)="((?:[^"\\\n]|\\[\\"n])*)")re"));
    static const QStringList types{"counter", "gauge", "histogram", "summary", "untyped"};
    Samples samples;
    QHash<QString, QString> typeOf;
    QHash<QString, QPair<double, double>> lastBucket; // histogram series -> (le, count)
    const auto fail = [&](const QString &why, const QString &line) {
        *error = why + QStringLiteral(": ") + line;
        return Samples{};
    };
    if (!text.endsWith('\n'))
        return fail(QStringLiteral("no final line break"), QString());
    for (const QString &line : QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1Char('#'))) {
            const QRegularExpressionMatch m = comment.match(line);
            if (m.hasMatch() && m.captured(1) == QStringLiteral("TYPE")) {
                if (!types.contains(m.captured(3)) || typeOf.contains(m.captured(2)))
                    return fail(QStringLiteral("bad or repeated TYPE"), line);
                typeOf.insert(m.captured(2), m.captured(3));
            }
            continue;
        }
        const QRegularExpressionMatch m = sampleLine.match(line);
        if (!m.hasMatch())
            return fail(QStringLiteral("not a sample line"), line);
        QString labels = m.captured(2);
        QString le;
        QStringList others;
        for (QRegularExpressionMatchIterator it = label.globalMatch(labels); it.hasNext();) {
            const QRegularExpressionMatch l = it.next();
            (l.captured(1) == QStringLiteral("le") ? le : others.emplaceBack()) = l.captured(0);
        }
        labels.remove(label).remove(QLatin1Char(','));
        if (!labels.isEmpty())
            return fail(QStringLiteral("malformed labels"), line);
        bool numeric = false;
        const QString valueText = m.captured(3);
        const double value = valueText == QStringLiteral("+Inf") ? INFINITY : valueText.toDouble(&numeric);
        if (!numeric && valueText != QStringLiteral("+Inf"))
            return fail(QStringLiteral("value is not a number"), line);
        const QString name = m.captured(1);
        const QString key = name + (m.captured(2).isEmpty() ? QString() : QLatin1Char('{') + m.captured(2) + QLatin1Char('}'));
        if (samples.contains(key))
            return fail(QStringLiteral("repeated series"), line);
        samples.insert(key, value);
        if (typeOf.value(name) == QStringLiteral("gauge"))
            continue;
        if (typeOf.value(name) == QStringLiteral("counter")) {
            if (!name.endsWith(QStringLiteral("_total")) || value < 0)
                return fail(QStringLiteral("counter not named _total or below 0"), line);
            continue;
        }
        const QString family = QString(name).remove(QRegularExpression(QStringLiteral("_(bucket|sum|count)$")));
        if (family == name || typeOf.value(family) != QStringLiteral("histogram"))
            return fail(QStringLiteral("sample of no typed family"), line);
        const QString series = family + others.join(QLatin1Char(','));
        if (name.endsWith(QStringLiteral("_bucket"))) {
            if (le.isEmpty())
                return fail(QStringLiteral("bucket without le"), line);
            const QString bound = le.section(QLatin1Char('"'), 1, 1);
            const double upper = bound == QStringLiteral("+Inf") ? INFINITY : bound.toDouble();
            const auto previous = lastBucket.value(series, {-INFINITY, 0});
            if (upper <= previous.first || value < previous.second)
                return fail(QStringLiteral("buckets out of order or falling"), line);
            lastBucket.insert(series, {upper, value});
        } else if (name.endsWith(QStringLiteral("_count"))) {
            const auto last = lastBucket.value(series, {0, -1});
            if (!std::isinf(last.first) || last.second != value)
                return fail(QStringLiteral("count before +Inf or unlike it"), line);
        }
    }
    return samples;
}

struct Answer
{
    int status = 0;
    QByteArray body;
};

} // namespace

// The operator's health and metrics address: what it exposes, that the
// counters follow real requests, and that nothing else answers there.
class PortalMetricsTest : public QObject
{
    Q_OBJECT

    TestCertificates m_certificates;
    PortalProcess m_portal;
    QString m_metricsUrl;
    QNetworkAccessManager m_network;
    QSslConfiguration m_ssl = QSslConfiguration::defaultConfiguration();
    QString m_formatError;
    QString m_lastScrape;

    Answer send(const QString &url, const QByteArray &method, const QByteArray &body = {})
    {
        QNetworkRequest request{QUrl(url)};
        request.setSslConfiguration(m_ssl);
        if (!body.isEmpty())
            request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
        std::unique_ptr<QNetworkReply> reply(m_network.sendCustomRequest(request, method, body));
        if (!reply->isFinished())
            QSignalSpy(reply.get(), &QNetworkReply::finished).wait(kGenerousMs);
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()};
    }

    Answer portal(const QString &endpoint, const QByteArray &body = {})
    {
        return send(m_portal.url() + "/adminportal/" + endpoint, "POST", body);
    }

    Samples scrape()
    {
        const Answer answer = send(m_metricsUrl + "/metrics", "GET");
        m_lastScrape = QString::fromUtf8(answer.body);
        QString error;
        const Samples samples = parseExposition(answer.body, &error);
        if (!error.isEmpty() && m_formatError.isEmpty())
            m_formatError = error;
        return samples;
    }

    // Counters are updated once an answer has gone out, which a client can
    // see a moment before; so the expected rise is waited for.
    bool rose(const Samples &before, const Samples &expected)
    {
        const Samples now = scrape();
        for (auto it = expected.begin(); it != expected.end(); ++it) {
            if (now.value(it.key()) - before.value(it.key()) != it.value())
                return false;
        }
        return true;
    }

    double gauge()
    {
        return scrape().value(QStringLiteral("velkarn_portal_open_connections"), -1);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_certificates.create(), qPrintable(m_certificates.errorText()));
        m_ssl.addCaCertificates(QSslCertificate::fromPath(m_certificates.caCertificatePath()));
        QCOMPARE(m_portal.admin({"company", "add", "--name", "Acme"}).exitCode, 0);
        QCOMPARE(m_portal.admin({"user", "add", "--email", kReader, "--company", "Acme", "--category", "Maths",
                                 "--password", kReaderPassword}).exitCode, 0);
        QVERIFY2(m_portal.start(m_certificates.serverCertificatePath(), m_certificates.serverKeyPath(),
                                {"--metrics-listen", "127.0.0.1:0", "--user-checks-per-minute", "2",
                                 "--status-updates-per-minute", "1"}),
                 m_portal.errors().constData());
        const QString line = m_portal.nextLine();
        QVERIFY2(line.startsWith("metrics on http://127.0.0.1:"), qPrintable(line));
        m_metricsUrl = line.mid(QStringLiteral("metrics on ").size());
    }

    void cleanupTestCase() { QCOMPARE(m_portal.stop(), 0); }

    void oneRequestInItsPlace_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<qint64>("elapsedUs");
        QTest::addColumn<QString>("series");
        QTest::addColumn<QString>("firstBucket"); // empty: not timed
        const QString requests = QStringLiteral("velkarn_portal_requests_total{endpoint=\"%1\",code=\"%2\"}");
        QTest::newRow("on a bound") << "/adminportal/pdfuserchk.php" << 200 << qint64(1000)
                                    << requests.arg("pdfuserchk.php", "200") << "0.001";
        QTest::newRow("just past a bound") << "/adminportal/pdfuserchk.php" << 200 << qint64(1001)
                                           << requests.arg("pdfuserchk.php", "200") << "0.0025";
        QTest::newRow("past every bound") << "/books/0123" << 200 << qint64(11'000'000)
                                          << requests.arg("books", "200") << "+Inf";
        QTest::newRow("rate limited") << "/adminportal/pdfloginupdate.php" << 429 << qint64(5)
                                      << requests.arg("pdfloginupdate.php", "429") << "0.001";
        QTest::newRow("status of no slot") << "/adminportal/pdfbookchk.php" << 418 << qint64(30'000)
                                           << requests.arg("pdfbookchk.php", "other") << "0.05";
        QTest::newRow("no answer") << "/adminportal/pdfserverchk.php" << 0 << qint64(9'000'000)
                                   << requests.arg("pdfserverchk.php", "none") << "";
        QTest::newRow("endpoint name as a prefix") << "/adminportal/pdfuserchk.phpx" << 404 << qint64(1)
                                                   << requests.arg("other", "404") << "0.001";
        QTest::newRow("outside the portal") << "/metrics" << 404 << qint64(1) << requests.arg("other", "404")
                                            << "0.001";
    }

    void oneRequestInItsPlace()
    {
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(qint64, elapsedUs);
        QFETCH(QString, series);
        QFETCH(QString, firstBucket);
        PortalMetrics metrics;
        metrics.requestDone(PortalMetrics::endpointOf(path), status, elapsedUs * 1000);
        QString error;
        const Samples samples = parseExposition(metrics.exposition(), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));

        const QString endpoint = series.section(QLatin1Char('"'), 1, 1);
        const QString histogram = QStringLiteral("velkarn_portal_request_duration_seconds_%1{endpoint=\"%2\"%3}");
        bool reached = false;
        const QStringList bounds{"0.001", "0.0025", "0.005", "0.01", "0.025", "0.05", "0.1",
                                 "0.25",  "0.5",    "1",     "2.5",  "5",     "10",   "+Inf"};
        for (const QString &bound : bounds) {
            reached = reached || bound == firstBucket;
            QCOMPARE(samples.value(histogram.arg("bucket", endpoint, ",le=\"" + bound + "\"")), reached ? 1.0 : 0.0);
        }
        QCOMPARE(samples.value(histogram.arg("count", endpoint, "")), firstBucket.isEmpty() ? 0.0 : 1.0);
        QCOMPARE(samples.value(histogram.arg("sum", endpoint, "")), firstBucket.isEmpty() ? 0.0 : elapsedUs / 1e6);
        QCOMPARE(samples.value("velkarn_portal_rate_limited_total{endpoint=\"" + endpoint + "\"}"),
                 status == 429 ? 1.0 : 0.0);
        for (auto it = samples.begin(); it != samples.end(); ++it) {
            if (it.key().startsWith("velkarn_portal_requests_total"))
                QCOMPARE(it.key() + " " + QString::number(it.value()), series + " 1");
        }
    }

    void countersFollowRequests()
    {
        const Samples before = scrape();
        QVERIFY2(m_formatError.isEmpty(), qPrintable(m_formatError + "\n" + m_lastScrape));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(portal("pdfuserchk.php", "user=" + kReader.toUtf8()).status, i < 2 ? 200 : 429);
        QCOMPARE(portal("pdfloginupdate.php", "user=" + kReader.toUtf8() + "&status=Y").body, QByteArray("1"));
        QCOMPARE(portal("pdfloginupdate.php", "user=" + kReader.toUtf8() + "&status=N").status, 429);
        QCOMPARE(portal("pdfserverchk.php").body, QByteArray("1"));
        QCOMPARE(send(m_portal.url() + "/books/" + QByteArray(32, 'a'), "GET").status, 404);

        // A book check that the database fails: counted, and answered 503.
        {
            ScopedConnection outside(m_portal.databasePath());
            QVERIFY(QSqlQuery(outside.database()).exec("ALTER TABLE books RENAME TO books_away"));
        }
        QCOMPARE(portal("pdfbookchk.php", "company=Acme&categoryname=Maths").status, 503);
        {
            ScopedConnection outside(m_portal.databasePath());
            QVERIFY(QSqlQuery(outside.database()).exec("ALTER TABLE books_away RENAME TO books"));
        }

        const QString requests = QStringLiteral("velkarn_portal_requests_total{endpoint=\"%1\",code=\"%2\"}");
        const Samples expected{
            {requests.arg("pdfuserchk.php", "200"), 2},
            {requests.arg("pdfuserchk.php", "429"), 1},
            {requests.arg("pdfloginupdate.php", "200"), 1},
            {requests.arg("pdfloginupdate.php", "429"), 1},
            {requests.arg("pdfserverchk.php", "200"), 1},
            {requests.arg("books", "404"), 1},
            {requests.arg("pdfbookchk.php", "503"), 1},
            {"velkarn_portal_request_duration_seconds_count{endpoint=\"pdfuserchk.php\"}", 3},
            {"velkarn_portal_rate_limited_total{endpoint=\"pdfuserchk.php\"}", 1},
            {"velkarn_portal_rate_limited_total{endpoint=\"pdfloginupdate.php\"}", 1},
            {"velkarn_portal_database_errors_total", 1},
        };
        QTRY_VERIFY2_WITH_TIMEOUT(rose(before, expected), qPrintable(m_lastScrape), kGenerousMs);
        QVERIFY2(m_formatError.isEmpty(), qPrintable(m_formatError));
        for (const QString &secret : {kReader, kReaderPassword, QStringLiteral("127.0.0.1"), QStringLiteral("Acme"),
                                      QStringLiteral("Maths"), QStringLiteral("aaaaaa")})
            QVERIFY2(!m_lastScrape.contains(secret, Qt::CaseInsensitive), qPrintable(secret));
    }

    void openConnectionsCounted()
    {
        QSslSocket held;
        held.setPeerVerifyMode(QSslSocket::VerifyNone);
        held.connectToHostEncrypted(QStringLiteral("127.0.0.1"), m_portal.port());
        QTRY_VERIFY_WITH_TIMEOUT(held.isEncrypted(), kGenerousMs);
        // The client that scraped before may close its own idle connections
        // meanwhile, so only the direction is certain.
        QTRY_VERIFY_WITH_TIMEOUT(gauge() >= 1, kGenerousMs);
        const double open = gauge();
        held.abort();
        QTRY_VERIFY_WITH_TIMEOUT(gauge() <= open - 1, kGenerousMs);
    }

    void healthFollowsTheDatabase()
    {
        const QString library = m_portal.databasePath();
        const QString away = library + ".away";
        QCOMPARE(send(m_metricsUrl + "/healthz", "GET").body, QByteArray("ok"));
        QVERIFY(QFile::rename(library, away));
        const Answer broken = send(m_metricsUrl + "/healthz", "GET");
        const bool created = QFile::exists(library);
        if (created)
            QFile::remove(library);
        QVERIFY(QFile::rename(away, library));
        QCOMPARE(broken.status, 503);
        QVERIFY2(!created, "the health check left an empty library where the real one was");
        QCOMPARE(send(m_metricsUrl + "/healthz", "GET").status, 200);
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += m_portal.errors()).contains("health check: the database answers again"),
                                 kGenerousMs);
        QVERIFY(log.contains("health check failed: unable to open database file"));
    }

    void nothingElseAnswers_data()
    {
        QTest::addColumn<bool>("onMetrics");
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::newRow("portal endpoint, POST") << true << QByteArray("POST") << "/adminportal/pdfserverchk.php";
        QTest::newRow("portal endpoint, GET") << true << QByteArray("GET") << "/adminportal/pdfserverchk.php";
        QTest::newRow("a book") << true << QByteArray("GET") << "/books/" + QString(32, 'a');
        QTest::newRow("metrics by POST") << true << QByteArray("POST") << "/metrics";
        QTest::newRow("below metrics") << true << QByteArray("GET") << "/metrics/x";
        QTest::newRow("health by DELETE") << true << QByteArray("DELETE") << "/healthz";
        QTest::newRow("metrics on the portal") << false << QByteArray("GET") << "/metrics";
        QTest::newRow("health on the portal") << false << QByteArray("GET") << "/healthz";
    }

    void nothingElseAnswers()
    {
        QFETCH(bool, onMetrics);
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        const Answer answer = send((onMetrics ? m_metricsUrl : m_portal.url()) + path, method, "user=x");
        QCOMPARE(answer.status, 404);
        QVERIFY(!answer.body.contains("velkarn_portal"));
    }

    void refusedAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("message");
        QTest::newRow("no port") << "127.0.0.1" << "--metrics-listen takes HOST:PORT";
        QTest::newRow("bare IPv6") << "::1:9100" << "--metrics-listen: write an IPv6 address in brackets";
        QTest::newRow("taken") << "" << "--metrics-listen: cannot listen on 127.0.0.1:";
    }

    // A portal that cannot serve its metrics does not start, and announces
    // nothing that a supervisor could take for a running portal.
    void refusedAddresses()
    {
        QFETCH(QString, address);
        QFETCH(QString, message);
        const QString taken = m_metricsUrl.mid(QStringLiteral("http://").size());
        const PortalCommand run = PortalProcess::run(
            {"serve", "--db", m_portal.databasePath(), "--listen", "127.0.0.1:0", "--cert",
             m_certificates.serverCertificatePath(), "--key", m_certificates.serverKeyPath(), "--metrics-listen",
             address.isEmpty() ? taken : address});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.output, QByteArray());
        QVERIFY2(run.errors.contains(message.toUtf8()), run.errors.constData());
    }
};

QTEST_GUILESS_MAIN(PortalMetricsTest)
#include "tst_portal_metrics.moc"
