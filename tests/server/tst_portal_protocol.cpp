#include "AdminLibrary.h"
#include "BookAnswer.h"
#include "CommandLine.h"
#include "DemoCertificates.h"
#include "LibraryAdmin.h"
#include "LoginAnswer.h"
#include "LibraryQueries.h"
#include "PdfFixtures.h"
#include "PortalProcess.h"
#include "PostgresServer.h"
#include "velkarn.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QtTest>

using namespace vk;

namespace {

const QString company = QStringLiteral("Acme & Sons");
const QString category = QStringLiteral("Maths");
const QString readerPassword = QStringLiteral("s3cret+&=^ x");
// Longer than the scrambling key, so the key has to wrap.
const QString longPassword = QString(300, u'x') + QStringLiteral("a+b=c&d^");

struct HttpReply
{
    int status = 0;
    QByteArray body;
};

} // namespace

// A running portal over HTTPS with certificate checks on; answers are read
// with the viewer's own parsers, so both ends agree on every byte. Every case
// runs on each engine, against the same library.
class PortalProtocol : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_bigBook;
    PostgresServer m_postgres;
    std::map<QString, std::unique_ptr<PortalProcess>> m_portals;
    QNetworkAccessManager m_network;
    QSslConfiguration m_ssl = QSslConfiguration::defaultConfiguration();
    QHash<QString, QByteArray> m_logs;

    static QString engine()
    {
        QFETCH_GLOBAL(QString, engine);
        return engine;
    }

    // A new library on the engine of the case running.
    std::unique_ptr<PortalProcess> newPortal(const QString &name)
    {
        if (engine() == QStringLiteral("sqlite"))
            return std::make_unique<PortalProcess>();
        const QString url = m_postgres.createDatabase(name);
        return url.isEmpty() ? nullptr : std::make_unique<PortalProcess>(url);
    }

    PortalProcess &portal() { return *m_portals.at(engine()); }

    void fillLibrary(const PortalProcess &portal)
    {
        try {
            AdminLibrary library(
                CommandOptions(QStringList{"--db", portal.databasePath()} + portal.storeOption(), {"db", "store"}));
            addCompany(library, company, true);
            addCompany(library, "Lapsed", false);
            addUser(library, {"reader@example.test", company, category, readerPassword, true});
            addUser(library, {"a+b&c=d@example.test", company, category, longPassword, true});
            addUser(library, {"x&status=N@example.test", company, category, "pw", true});
            addUser(library, {"o'brien@example.test", company, category, "quote-pw", true});
            addUser(library, {"inactive@example.test", company, category, "pw", false});
            addUser(library, {"lapsed@example.test", "Lapsed", category, "pw", true});
            addBook(library, {company, category, "Big Book", m_bigBook, {}, {}, 2});
            addBook(library,
                    {company, category, "Elsewhere", {}, "https://books.example.test/e.pdf?a=1&b=2", "None", 1});
            addBook(library, {"Lapsed", category, "Old", {}, "https://h.example/o.pdf", {}, {}});
        } catch (const CommandError &error) {
            QFAIL(qPrintable(error.message));
        }
    }

    bool startPortal(PortalProcess &portal, const QString &checksPerMinute)
    {
        return portal.start(m_dir.filePath("server.pem"), m_dir.filePath("server.key"),
                            {"--user-checks-per-minute", checksPerMinute});
    }

    // A POST when there is a body, else a GET.
    HttpReply send(const QString &url, const std::optional<QByteArray> &body = std::nullopt)
    {
        QNetworkRequest request{QUrl(url)};
        request.setSslConfiguration(m_ssl);
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
        QNetworkReply *reply = body ? m_network.post(request, *body) : m_network.get(request);
        QSignalSpy finished(reply, &QNetworkReply::finished);
        if (!reply->isFinished())
            finished.wait(60000);
        const HttpReply result{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()};
        reply->deleteLater();
        return result;
    }

    HttpReply post(const QString &endpoint, const QByteArray &body)
    {
        return send(portal().url() + "/adminportal/" + endpoint, body);
    }

    QString onlineFlag(const QByteArray &address)
    {
        velkarn v;
        return parseLoginAnswer(v, QString::fromUtf8(post("pdfuserchk.php", "user=" + address).body), {}).useronline;
    }

    BookList books()
    {
        velkarn v;
        const QByteArray body = "company=" + company.toUtf8() + "&categoryname=" + category.toUtf8();
        return parseBookAnswer(v, QString::fromUtf8(post("pdfbookchk.php", body).body));
    }

    void ageOnlineFlag(const QString &email, qint64 hours)
    {
        ScopedConnection connection(portal().databasePath());
        QSqlQuery query(connection.database());
        query.prepare(QStringLiteral("UPDATE users SET online_at_ms = online_at_ms - ? WHERE email = ?"));
        query.addBindValue(hours * 3600 * 1000);
        query.addBindValue(email);
        QVERIFY(query.exec());
    }

private slots:
    void initTestCase_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::newRow("sqlite") << QStringLiteral("sqlite");
        QTest::newRow("postgresql") << QStringLiteral("postgresql");
    }

    void initTestCase()
    {
        QCOMPARE(makeDemoCertificates(m_dir.path()), QString());
        m_ssl.addCaCertificates(QSslCertificate::fromPath(m_dir.filePath("ca.pem")));
        m_bigBook = m_dir.filePath("big.pdf");
        QVERIFY(PdfFixtures::writeFile(m_bigBook, PdfFixtures::paddedPdf(6 * 1024 * 1024 + 123)));
        const bool postgres = m_postgres.start();
        if (!postgres && PostgresServer::required())
            QFAIL(qPrintable(QStringLiteral("PostgreSQL: ") + m_postgres.reason()));
        for (const QString &name : {QStringLiteral("sqlite"), QStringLiteral("postgresql")}) {
            if (name == QStringLiteral("postgresql") && !postgres)
                continue;
            auto made = name == QStringLiteral("sqlite")
                ? std::make_unique<PortalProcess>()
                : std::make_unique<PortalProcess>(m_postgres.createDatabase(QStringLiteral("protocol")));
            fillLibrary(*made);
            QVERIFY2(startPortal(*made, "0"), made->errors().constData());
            m_portals[name] = std::move(made);
        }
    }

    void init()
    {
        if (!m_portals.count(engine()))
            QSKIP(qPrintable(QStringLiteral("no PostgreSQL to test with: ") + m_postgres.reason()));
    }

    void cleanupTestCase()
    {
        for (auto &[name, running] : m_portals)
            QCOMPARE(running->stop(), 0);
    }

    void serverCheck()
    {
        const HttpReply reply = post("pdfserverchk.php", QByteArray());
        QCOMPARE(reply.status, 200);
        QCOMPARE(reply.body, QByteArray("1"));
        QCOMPARE(send(portal().url() + "/adminportal/pdfserverchk.php").status, 405);
        QCOMPARE(post("other.php", QByteArray()).status, 404);
    }

    // flags empty: the unknown-user answer.
    void userCheck_data()
    {
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QString>("password");
        QTest::newRow("may sign in") << QByteArray("reader@example.test") << "NYY" << readerPassword;
        QTest::newRow("address case") << QByteArray("Reader@Example.TEST") << "NYY" << readerPassword;
        QTest::newRow("raw + & =, long password") << QByteArray("a+b&c=d@example.test") << "NYY" << longPassword;
        QTest::newRow("quote in address") << QByteArray("o'brien@example.test") << "NYY" << "quote-pw";
        QTest::newRow("inactive") << QByteArray("inactive@example.test") << "NNY" << "pw";
        QTest::newRow("lapsed company") << QByteArray("lapsed@example.test") << "NYN" << "pw";
        QTest::newRow("unknown") << QByteArray("nobody@example.test") << "" << "";
        QTest::newRow("plus not a space") << QByteArray("a b&c=d@example.test") << "" << "";
        QTest::newRow("sql") << QByteArray("' OR '1'='1") << "" << "";
        QTest::newRow("empty") << QByteArray() << "" << "";
        QTest::newRow("nul after address") << QByteArray("reader@example.test\0", 20) << "" << "";
    }

    void userCheck()
    {
        QFETCH(QByteArray, address);
        QFETCH(QString, flags);
        QFETCH(QString, password);
        const HttpReply reply = post("pdfuserchk.php", "user=" + address);
        QCOMPARE(reply.status, 200);
        if (flags.isEmpty()) {
            QCOMPARE(reply.body, QByteArray("NNN^^^^"));
            return;
        }
        velkarn v;
        const LoginAnswer answer = parseLoginAnswer(v, QString::fromUtf8(reply.body), password);
        QCOMPARE(answer.useronline + answer.useractive + answer.resactive, flags);
        QCOMPARE(answer.company, address.startsWith("lapsed") ? QStringLiteral("Lapsed") : company);
        QCOMPARE(answer.category, category);
        QCOMPARE(v.decodestr(answer.passwordenc), password);
    }

    void bookCheck()
    {
        const BookList list = books();
        QCOMPARE(list.names, (QStringList{"Elsewhere", "Big Book"}));
        QCOMPARE(list.locations.at(0), QStringLiteral("https://books.example.test/e.pdf?a=1&b=2"));
        QVERIFY(list.locations.at(1).startsWith(portal().url() + "/books/"));
        QCOMPARE(list.passwords, (QStringList{"None", ""})); // only "none" stands for no password

        for (const char *refused : {"company=Nobody&categoryname=Maths", "company=Acme & Sons&categoryname=Art",
                                    "company=Lapsed&categoryname=Maths",
                                    "company=x' OR 1=1 --&categoryname=' OR ''='"}) {
            const HttpReply reply = post("pdfbookchk.php", refused);
            QCOMPARE(reply.status, 200);
            QVERIFY2(!reply.body.startsWith("*START*"), refused);
        }
    }

    void statusUpdate_data()
    {
        QTest::addColumn<QByteArray>("address");
        QTest::newRow("plain") << QByteArray("reader@example.test");
        QTest::newRow("address holding &status=") << QByteArray("x&status=N@example.test");
    }

    void statusUpdate()
    {
        QFETCH(QByteArray, address);
        for (const char *status : {"Y", "N"}) {
            const HttpReply reply = post("pdfloginupdate.php", "user=" + address + "&status=" + status);
            QCOMPARE(reply.status, 200);
            QCOMPARE(reply.body, QByteArray("1"));
            QCOMPARE(onlineFlag(address), QString::fromLatin1(status));
        }
        QCOMPARE(post("pdfloginupdate.php", "user=" + address + "&status=y").status, 400);
    }

    // A viewer that died without signing out must not lock its reader out for good.
    void onlineFlagExpires()
    {
        const QByteArray email = "reader@example.test";
        QCOMPARE(post("pdfloginupdate.php", "user=" + email + "&status=Y").body, QByteArray("1"));
        ageOnlineFlag(QString::fromLatin1(email), 11);
        QCOMPARE(onlineFlag(email), QStringLiteral("Y"));
        ageOnlineFlag(QString::fromLatin1(email), 2);
        QCOMPARE(onlineFlag(email), QStringLiteral("N"));
    }

    void bookDownload()
    {
        const QString location = books().locations.value(1);
        const HttpReply download = send(location);
        QCOMPARE(download.status, 200);
        QFile source(m_bigBook);
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QByteArray expected = source.readAll();
        QCOMPARE(download.body.size(), expected.size());
        QVERIFY(download.body == expected);

        const QString wrongToken = location.chopped(1) + (location.endsWith(QLatin1Char('0')) ? u'1' : u'0');
        QCOMPARE(send(wrongToken).status, 404);
        QCOMPARE(send(portal().url() + "/books/../library.db").status, 404);
    }

    void bodyLimit()
    {
        for (const auto &[size, status] : {std::pair{64 * 1024, 200}, {64 * 1024 + 1, 413}, {1024 * 1024, 413}}) {
            QByteArray body = "user=";
            body.append(size - body.size(), 'a');
            QCOMPARE(post("pdfuserchk.php", body).status, status);
        }
    }

    void rateLimit()
    {
        const auto limited = newPortal(QStringLiteral("limited"));
        QVERIFY2(limited && startPortal(*limited, "3"), limited ? limited->errors().constData() : "no database");
        const QString url = limited->url() + "/adminportal/";
        for (int i = 0; i < 3; ++i)
            QCOMPARE(send(url + "pdfuserchk.php", "user=reader@example.test").status, 200);
        const HttpReply refused = send(url + "pdfuserchk.php", "user=reader@example.test");
        QCOMPARE(refused.status, 429);
        QVERIFY(!refused.body.startsWith("N") && !refused.body.startsWith("Y"));
        // Only the user check is limited.
        QCOMPARE(send(url + "pdfserverchk.php", QByteArray()).body, QByteArray("1"));
        QCOMPARE(send(url + "pdfloginupdate.php", "user=reader@example.test&status=N").body, QByteArray("0"));
        QCOMPARE(limited->stop(), 0);
    }

    // The counts behind the limits, on a clock of our own: the last minute
    // is estimated from this minute's count and the previous one's.
    void rateCounts()
    {
        ScopedConnection connection(portal().databasePath());
        QSqlDatabase db = connection.database();
        // The start of a minute far ahead, where the portal's own clearing never reaches.
        const qint64 t0 = qint64(40'000'000) * 60'000;
        QueryStatus status;
        const auto admit = [&](const QString &client, qint64 at) {
            const bool admitted = admitEvent(connection, "test", client, 3, at, &status);
            if (!status.ok)
                qWarning("%s", qPrintable(status.error));
            return admitted;
        };
        QVERIFY(admit("a", t0) && admit("a", t0 + 10'000) && admit("a", t0 + 20'000));
        QVERIFY(!admit("a", t0 + 30'000));
        QVERIFY2(admit("b", t0 + 30'000), "clients are counted apart");
        QVERIFY2(!admit("a", t0 + 60'000), "a new minute still carries the last one's");
        // Half of the previous minute's 3, rounded up, leaves room for one.
        QVERIFY(admit("a", t0 + 90'000));
        QVERIFY(!admit("a", t0 + 90'001));
        QVERIFY(admit("a", t0 + 150'000));
        QVERIFY2(admitEvent(connection, "test", "c", 2'000'000'000, t0, &status), "a limit too high to reach");
        forgetOldCounts(connection, t0 + 200'000);
        QSqlQuery left(db);
        QVERIFY(left.exec("SELECT COUNT(*) FROM rate_counts WHERE kind = 'test'") && left.next());
        QCOMPARE(left.value(0).toInt(), 1);
    }

    // Runs last: the requests above are what the log must show.
    void logHoldsNoSecrets()
    {
        QByteArray &log = m_logs[engine()];
        QTRY_VERIFY_WITH_TIMEOUT((log += portal().errors()).contains("POST /adminportal/pdfuserchk.php 200"), 20000);
        QVERIFY(log.contains("127.0.0.1 POST /adminportal/pdfbookchk.php 200"));
        QVERIFY(log.contains("POST /adminportal/pdfuserchk.php 413"));
        QVERIFY(log.contains("GET /books/"));
        QVERIFY(!log.contains("reader@example.test"));
        QVERIFY(!log.contains("s3cret"));
        // A book's token is as good as its password.
        const QString location = books().locations.value(1);
        QVERIFY(!log.contains(location.mid(location.lastIndexOf(u'/') + 1).toUtf8()));
    }
};

QTEST_GUILESS_MAIN(PortalProtocol)
#include "tst_portal_protocol.moc"
