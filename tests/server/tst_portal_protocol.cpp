#include "AdminLibrary.h"
#include "BookAnswer.h"
#include "CommandLine.h"
#include "DemoCertificates.h"
#include "LibraryAdmin.h"
#include "LoginAnswer.h"
#include "PdfFixtures.h"
#include "PortalClient.h"
#include "PostgresServer.h"
#include "velkarn.h"

#include <QtTest>

using namespace vk;

namespace {

const QByteArray kReader = "reader@example.test";
const QString kCompany = QStringLiteral("Acme & Sons");
const QString kCategory = QStringLiteral("Maths");
const QString kReaderPassword = QStringLiteral("s3cret+&=^ x");
// Longer than the scrambling key, so the key has to wrap.
const QString kLongPassword = QString(300, u'x') + QStringLiteral("a+b=c&d^");

// An answer with its scrambled fields decoded: the scrambling's seed changes
// from one answer to the next, what it carries must not.
QString readable(const QByteArray &answer)
{
    velkarn v;
    const QString text = QString::fromUtf8(answer);
    if (!text.startsWith(QStringLiteral("*START*")))
        return text.left(text.indexOf(QStringLiteral("^^")) + 2)
            + v.decodestr(parseLoginAnswer(v, text, {}).passwordenc);
    const BookList books = parseBookAnswer(v, text);
    return (books.names + books.locations + books.passwords).join(u'|');
}

} // namespace

// A running portal over HTTPS with certificate checks on; answers are read with
// the viewer's own parsers, so both ends agree on every byte. Every case runs on
// each engine, against the same library; then several portals on one PostgreSQL
// library, a library moved between engines, and the database going away.
class PortalProtocol : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_bigBook;
    QByteArray m_bigBookBytes;
    PostgresServer m_postgres;
    std::map<QString, std::unique_ptr<PortalProcess>> m_portals;
    PortalClient m_client;

    static QString engine()
    {
        QFETCH_GLOBAL(QString, engine);
        return engine;
    }

    PortalProcess &portal() { return *m_portals.at(engine()); }

    void fillLibrary(const PortalProcess &portal)
    {
        try {
            const QStringList options = QStringList{"--db", portal.databasePath()} + portal.storeOption();
            AdminLibrary library(CommandOptions(options, {"db", "store"}));
            addCompany(library, kCompany, true);
            addCompany(library, "Lapsed", false);
            addUser(library, {kReader, kCompany, kCategory, kReaderPassword, true});
            addUser(library, {"a+b&c=d@example.test", kCompany, kCategory, kLongPassword, true});
            addUser(library, {"o'brien@example.test", kCompany, kCategory, "quote-pw", true});
            addUser(library, {"inactive@example.test", kCompany, kCategory, "pw", false});
            addUser(library, {"lapsed@example.test", "Lapsed", kCategory, "pw", true});
            addBook(library, {kCompany, kCategory, "Big Book", m_bigBook, {}, {}, 20});
            const QString elsewhere = QStringLiteral("https://books.example.test/e.pdf?a=1&b=2");
            addBook(library, {kCompany, kCategory, "Elsewhere", {}, elsewhere, "None", 10});
            addBook(library, {kCompany, kCategory, "Appended", {}, "https://h.example/a.pdf", {}, {}});
            addBook(library, {"Lapsed", kCategory, "Old", {}, "https://h.example/o.pdf", {}, {}});
        } catch (const CommandError &error) {
            QFAIL(qPrintable(error.message));
        }
    }

    HttpAnswer post(const QString &endpoint, const QByteArray &body)
    {
        return m_client.post(portal(), endpoint, body);
    }

    QString onlineFlag(const QByteArray &address)
    {
        velkarn v;
        return parseLoginAnswer(v, QString::fromUtf8(post("pdfuserchk.php", "user=" + address).body), {})
            .useronline;
    }

    BookList books()
    {
        velkarn v;
        const QByteArray body = "company=" + kCompany.toUtf8() + "&categoryname=" + kCategory.toUtf8();
        return parseBookAnswer(v, QString::fromUtf8(post("pdfbookchk.php", body).body));
    }

    void ageOnlineFlag(const QString &email, qint64 hours)
    {
        ScopedConnection connection(portal().databasePath());
        QSqlQuery query =
            connection.prepared("UPDATE users SET online_at_ms = online_at_ms - ? WHERE email = ?");
        query.addBindValue(hours * 3600 * 1000);
        query.addBindValue(email);
        QVERIFY(query.exec());
    }

    QByteArray userCheckBy(const PortalProcess &portal, const QByteArray &address = kReader)
    {
        return m_client.post(portal, "pdfuserchk.php", "user=" + address).body;
    }

    // Several processes answer alike only with one public address for their books.
    bool serve(PortalProcess &portal, const QStringList &options = {})
    {
        return portal.start(m_dir.filePath("server.pem"), m_dir.filePath("server.key"),
                            QStringList{"--public-url", "https://books.example.test"} + options);
    }

    bool onPostgres() const { return engine() == QStringLiteral("postgresql"); }

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
        m_client.trust(m_dir.filePath("ca.pem"));
        m_bigBook = m_dir.filePath("big.pdf");
        m_bigBookBytes = PdfFixtures::paddedPdf(6 * 1024 * 1024 + 123);
        QVERIFY(PdfFixtures::writeFile(m_bigBook, m_bigBookBytes));
        const bool postgres = m_postgres.start();
        QVERIFY2(postgres || !PostgresServer::required(), qPrintable("PostgreSQL: " + m_postgres.reason()));
        m_portals["sqlite"] = std::make_unique<PortalProcess>();
        if (postgres)
            m_portals["postgresql"] = std::make_unique<PortalProcess>(m_postgres.createDatabase("protocol"));
        for (auto &[name, made] : m_portals) {
            fillLibrary(*made);
            QVERIFY2(made->start(m_dir.filePath("server.pem"), m_dir.filePath("server.key"),
                                 {"--user-checks-per-minute", "0"}),
                     made->errors().constData());
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
        const HttpAnswer reply = post("pdfserverchk.php", QByteArray());
        QCOMPARE(reply.status, 200);
        QCOMPARE(reply.body, QByteArray("1"));
        QCOMPARE(m_client.send(portal().url() + "/adminportal/pdfserverchk.php", "GET").status, 405);
        QCOMPARE(post("other.php", QByteArray()).status, 404);
    }

    // flags empty: the unknown-user answer.
    void userCheck_data()
    {
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QString>("password");
        QTest::newRow("may sign in") << QByteArray("reader@example.test") << "NYY" << kReaderPassword;
        QTest::newRow("address case") << QByteArray("Reader@Example.TEST") << "NYY" << kReaderPassword;
        QTest::newRow("raw + & =, long password")
            << QByteArray("a+b&c=d@example.test") << "NYY" << kLongPassword;
        QTest::newRow("quote in address") << QByteArray("o'brien@example.test") << "NYY" << "quote-pw";
        QTest::newRow("inactive") << QByteArray("inactive@example.test") << "NNY" << "pw";
        QTest::newRow("lapsed company") << QByteArray("lapsed@example.test") << "NYN" << "pw";
        QTest::newRow("unknown") << QByteArray("nobody@example.test") << "" << "";
        QTest::newRow("plus not a space") << QByteArray("a b&c=d@example.test") << "" << "";
        QTest::newRow("nul after address") << QByteArray("reader@example.test\0", 20) << "" << "";
    }

    void userCheck()
    {
        QFETCH(QByteArray, address);
        QFETCH(QString, flags);
        QFETCH(QString, password);
        const HttpAnswer reply = post("pdfuserchk.php", "user=" + address);
        QCOMPARE(reply.status, 200);
        if (flags.isEmpty()) {
            QCOMPARE(reply.body, QByteArray("NNN^^^^"));
            return;
        }
        velkarn v;
        const LoginAnswer answer = parseLoginAnswer(v, QString::fromUtf8(reply.body), password);
        QCOMPARE(answer.useronline + answer.useractive + answer.resactive, flags);
        QCOMPARE(answer.company, address.startsWith("lapsed") ? QStringLiteral("Lapsed") : kCompany);
        QCOMPARE(answer.category, kCategory);
        QCOMPARE(v.decodestr(answer.passwordenc), password);
    }

    void bookCheck()
    {
        const BookList list = books();
        QCOMPARE(list.names, (QStringList{"Elsewhere", "Big Book", "Appended"})); // after the highest position
        QCOMPARE(list.locations.at(0), QStringLiteral("https://books.example.test/e.pdf?a=1&b=2"));
        QVERIFY(list.locations.at(1).startsWith(portal().url() + "/books/"));
        QCOMPARE(list.passwords, (QStringList{"None", "", ""})); // only "none" stands for no password

        for (const char *refused : {"company=Acme & Sons&categoryname=Art", "company=Lapsed&categoryname=Maths",
                                    "company=x' OR 1=1 --&categoryname=' OR ''='"}) {
            const HttpAnswer reply = post("pdfbookchk.php", refused);
            QCOMPARE(reply.status, 200);
            QVERIFY2(!reply.body.startsWith("*START*"), refused);
        }
    }

    void statusUpdate()
    {
        for (const char *status : {"Y", "N"}) {
            const HttpAnswer reply = post("pdfloginupdate.php", "user=" + kReader + "&status=" + status);
            QCOMPARE(reply.status, 200);
            QCOMPARE(reply.body, QByteArray("1"));
            QCOMPARE(onlineFlag(kReader), QString::fromLatin1(status));
        }
        QCOMPARE(post("pdfloginupdate.php", "user=" + kReader + "&status=y").status, 400);
    }

    // A viewer that died without signing out must not lock its reader out for good.
    void onlineFlagExpires()
    {
        QCOMPARE(post("pdfloginupdate.php", "user=" + kReader + "&status=Y").body, QByteArray("1"));
        ageOnlineFlag(kReader, 11);
        QCOMPARE(onlineFlag(kReader), QStringLiteral("Y"));
        ageOnlineFlag(kReader, 2);
        QCOMPARE(onlineFlag(kReader), QStringLiteral("N"));
    }

    void bookDownload()
    {
        const QString location = books().locations.value(1);
        const HttpAnswer download = m_client.send(location, "GET");
        QCOMPARE(download.status, 200);
        QVERIFY(download.body == m_bigBookBytes);

        const QString wrongToken = location.chopped(1) + (location.endsWith(QLatin1Char('0')) ? u'1' : u'0');
        QCOMPARE(m_client.send(wrongToken, "GET").status, 404);
        QCOMPARE(m_client.send(portal().url() + "/books/../library.db", "GET").status, 404);
    }

    void bodyLimit()
    {
        for (const auto &[size, status] : {std::pair{64 * 1024, 200}, {64 * 1024 + 1, 413}}) {
            QByteArray body = "user=";
            body.append(size - body.size(), 'a');
            QCOMPARE(post("pdfuserchk.php", body).status, status);
        }
    }

    // A sign-in through one process is seen by the other, and so is an account an
    // admin adds; one limit holds for both. Once the database is down, requests
    // are refused at once, the reason logged, and answered again when it is back.
    void twoProcessesAndAnOutage()
    {
        if (!onPostgres())
            QSKIP("a PostgreSQL deployment");
        const QString url = m_postgres.createDatabase(QStringLiteral("shared"));
        QVERIFY2(!url.isEmpty(), qPrintable(m_postgres.reason()));
        QVERIFY(addReader(PortalProcess(url, m_dir.filePath("store")), kReader, "pw"));
        PortalProcess a(url, m_dir.filePath("store"));
        PortalProcess b(url, m_dir.filePath("store"));
        QVERIFY2(serve(a, {"--user-checks-per-minute", "4"}), a.errors().constData());
        QVERIFY2(serve(b), b.errors().constData());

        QVERIFY(userCheckBy(b).startsWith("NYY"));
        QCOMPARE(m_client.post(a, "pdfloginupdate.php", "user=" + kReader + "&status=Y").body, QByteArray("1"));
        QVERIFY(userCheckBy(b).startsWith("YYY"));

        QVERIFY(a.admin({"user", "add", "--email", "new@example.test", "--company", "Acme", "--category", "K",
                         "--password", "pw2"}).exitCode == 0);
        QVERIFY(userCheckBy(a, "new@example.test").startsWith("NYY"));
        QVERIFY(userCheckBy(b, "new@example.test").startsWith("NYY"));
        // Four checks so far from this address, three of them through the other.
        QCOMPARE(m_client.post(a, "pdfuserchk.php", "user=" + kReader).status, 429);

        // One process gone for good leaves the other serving.
        a.kill();
        QCOMPARE(m_client.post(b, "pdfserverchk.php", {}).body, QByteArray("1"));
        QCOMPARE(m_client.post(b, "pdfloginupdate.php", "user=" + kReader + "&status=N").body, QByteArray("1"));

        QVERIFY2(m_postgres.stopServer(), qPrintable(m_postgres.reason()));
        for (const auto &[endpoint, body] : {std::pair{"pdfuserchk.php", "user=" + kReader},
                                             {"pdfbookchk.php", "company=Acme&categoryname=K"},
                                             {"pdfloginupdate.php", "user=" + kReader + "&status=Y"}})
            QVERIFY2(m_client.post(b, endpoint, body).status == 503, endpoint);
        QCOMPARE(m_client.post(b, "pdfserverchk.php", {}).body, QByteArray("1"));
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += b.errors()).contains("database error in user check"),
                                 PortalClient::kGenerousMs);

        QVERIFY2(m_postgres.startServer(), qPrintable(m_postgres.reason()));
        QTRY_VERIFY_WITH_TIMEOUT(userCheckBy(b).startsWith("NYY"), PortalClient::kGenerousMs);
    }

    // SQLite to PostgreSQL and back: the copies answer every request as the
    // original does, byte for byte, and list the same library.
    void migrationRoundTrip()
    {
        if (!onPostgres())
            QSKIP("a PostgreSQL deployment");
        const QString target = m_postgres.createDatabase(QStringLiteral("migrated"));
        QVERIFY2(!target.isEmpty(), qPrintable(m_postgres.reason()));
        PortalProcess original;
        QVERIFY(addReader(original, kReader, "pw"));
        original.admin({"company", "add", "--name", "Zeta", "--active", "N"});
        original.admin({"user", "add", "--email", "Old@Example.test", "--company", "Zeta", "--category", "K",
                        "--password", "pw3", "--active", "N"});
        original.admin({"book", "add", "--company", "Acme", "--category", "K", "--name", "B", "--url",
                        "https://h.example/b.pdf", "--password", "bpw"});
        original.admin({"book", "add", "--company", "Acme", "--category", "K", "--name", "A", "--url",
                        "https://h.example/a.pdf", "--position", "1"});
        QVERIFY(serve(original));
        QCOMPARE(m_client.post(original, "pdfloginupdate.php", "user=" + kReader + "&status=Y").body,
                 QByteArray("1"));
        original.stop();

        const QString back = m_dir.filePath("back.db");
        PortalCommand r = PortalProcess::run({"migrate", "--from", original.databasePath(), "--to", target});
        QVERIFY2(r.exitCode == 0, r.errors.constData());
        r = PortalProcess::run({"migrate", "--from", target, "--to", back});
        QVERIFY2(r.exitCode == 0, r.errors.constData());
        r = PortalProcess::run({"migrate", "--from", back, "--to", target});
        QVERIFY2(r.exitCode == 1 && r.errors.contains("empty"), r.errors.constData());

        const QList<QByteArray> requests = {
            "pdfuserchk.php user=" + kReader, "pdfuserchk.php user=old@example.TEST",
            "pdfuserchk.php user=none@x",
            "pdfbookchk.php company=Acme&categoryname=K", "pdfbookchk.php company=Zeta&categoryname=K"};
        QList<QByteArray> expected;
        for (const QString &library : {original.databasePath(), target, back}) {
            PortalProcess copy(library, m_dir.filePath("store"));
            QByteArray seen;
            for (const char *listing : {"company", "user", "book"})
                seen += copy.admin({listing, "list"}).output;
            QVERIFY(serve(copy));
            for (const QByteArray &request : requests) {
                const qsizetype space = request.indexOf(' ');
                const QString endpoint = QString::fromLatin1(request.left(space));
                seen += readable(m_client.post(copy, endpoint, request.mid(space + 1)).body).toUtf8() + '\n';
            }
            if (expected.isEmpty())
                expected.append(seen);
            QCOMPARE(seen, expected.first());
        }
        QVERIFY(expected.first().contains("YYY"));
    }
};

QTEST_GUILESS_MAIN(PortalProtocol)
#include "tst_portal_protocol.moc"
