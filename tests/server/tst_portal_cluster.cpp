#include "BookAnswer.h"
#include "DemoCertificates.h"
#include "LoginAnswer.h"
#include "PortalClient.h"
#include "PostgresServer.h"
#include "velkarn.h"

#include <QtTest>

using namespace vk;

namespace {

const QByteArray kReader = "reader@example.test";
constexpr int kGenerousMs = 60000;

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

// Several portal processes on one PostgreSQL library, moving a library
// between engines, and the database going away under running portals.
class PortalCluster : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    PostgresServer m_postgres;
    int m_databases = 0;
    PortalClient m_client;

    QByteArray userCheck(const PortalProcess &portal, const QByteArray &address = kReader)
    {
        return m_client.post(portal, "pdfuserchk.php", "user=" + address).body;
    }

    bool serve(PortalProcess &portal, const QStringList &options = {})
    {
        return portal.start(m_dir.filePath("server.pem"), m_dir.filePath("server.key"),
                            QStringList{"--public-url", "https://books.example.test"} + options);
    }

    // A new PostgreSQL library holding one company and its reader.
    QString newLibrary()
    {
        const QString url = m_postgres.createDatabase(QStringLiteral("cluster%1").arg(++m_databases));
        if (url.isEmpty())
            return {};
        const PortalProcess maker(url, m_dir.filePath("store"));
        return addReader(maker, kReader, "pw") ? url : QString();
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(makeDemoCertificates(m_dir.path()), QString());
        m_client.trust(m_dir.filePath("ca.pem"));
        VELKARN_REQUIRE_POSTGRES(m_postgres);
    }

    // A sign-in through one process is seen by the other, and so is an
    // account an admin adds; one limit holds for both together.
    void twoProcessesShareOneLibrary()
    {
        const QString url = newLibrary();
        QVERIFY2(!url.isEmpty(), qPrintable(m_postgres.reason()));
        PortalProcess a(url, m_dir.filePath("store"));
        PortalProcess b(url, m_dir.filePath("store"));
        QVERIFY2(serve(a, {"--user-checks-per-minute", "4"}), a.errors().constData());
        QVERIFY2(serve(b, {"--user-checks-per-minute", "4"}), b.errors().constData());

        QVERIFY(userCheck(b).startsWith("NYY"));
        QCOMPARE(m_client.post(a, "pdfloginupdate.php", "user=" + kReader + "&status=Y").body, QByteArray("1"));
        QVERIFY(userCheck(b).startsWith("YYY"));

        QVERIFY(a.admin({"user", "add", "--email", "new@example.test", "--company", "Acme", "--category", "K",
                         "--password", "pw2"}).exitCode == 0);
        QVERIFY(userCheck(a, "new@example.test").startsWith("NYY"));
        QVERIFY(userCheck(b, "new@example.test").startsWith("NYY"));
        // Four checks so far from this address, through both.
        QCOMPARE(m_client.post(a, "pdfuserchk.php", "user=" + kReader).status, 429);
        QCOMPARE(m_client.post(b, "pdfuserchk.php", "user=" + kReader).status, 429);

        // One process gone for good leaves the other serving.
        a.kill();
        QCOMPARE(m_client.post(b, "pdfserverchk.php", {}).body, QByteArray("1"));
        QCOMPARE(m_client.post(b, "pdfloginupdate.php", "user=" + kReader + "&status=N").body, QByteArray("1"));
    }

    // Requests made while the database is down are refused at once, with the
    // reason in the log, and answered again once it is back, no restart.
    void databaseOutage()
    {
        const QString url = newLibrary();
        QVERIFY2(!url.isEmpty(), qPrintable(m_postgres.reason()));
        PortalProcess portal(url, m_dir.filePath("store"));
        QVERIFY2(serve(portal), portal.errors().constData());
        QVERIFY(userCheck(portal).startsWith("NYY"));

        QVERIFY2(m_postgres.stopServer(), qPrintable(m_postgres.reason()));
        for (const auto &[endpoint, body] : {std::pair{"pdfuserchk.php", "user=" + kReader},
                                             {"pdfbookchk.php", "company=Acme&categoryname=K"},
                                             {"pdfloginupdate.php", "user=" + kReader + "&status=Y"}})
            QVERIFY2(m_client.post(portal, endpoint, body).status == 503, endpoint);
        QCOMPARE(m_client.post(portal, "pdfserverchk.php", {}).body, QByteArray("1"));
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += portal.errors()).contains("database error in user check"),
                                 kGenerousMs);

        QVERIFY2(m_postgres.startServer(), qPrintable(m_postgres.reason()));
        QTRY_VERIFY_WITH_TIMEOUT(userCheck(portal).startsWith("NYY"), kGenerousMs);
    }

    // SQLite to PostgreSQL and back: the copies answer every request as the
    // original does, byte for byte, and list the same library.
    void migrationRoundTrip()
    {
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

QTEST_GUILESS_MAIN(PortalCluster)
#include "tst_portal_cluster.moc"
