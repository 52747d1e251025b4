#include "DemoBooks.h"
#include "PortalDatabase.h"
#include "PortalProcess.h"
#include "PostgresServer.h"

#include <QPdfDocument>
#include <QSqlQuery>
#include <QtTest>

using namespace vk;

namespace {

QStringList bookAdd(const QString &name)
{
    return {"book", "add", "--company", "Acme", "--category", "K", "--name", name};
}

QStringList userAdd(const QString &email, const QString &company = "Acme", const QString &category = "K")
{
    return {"user", "add", "--email", email, "--company", company, "--category", category};
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The admin commands against a fresh library for every test, holding the
// company "Acme", on each engine.
class PortalAdmin : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_plainPdf;
    PostgresServer m_postgres;
    bool m_postgresUp = false;
    int m_databases = 0;
    std::unique_ptr<PortalProcess> m_portal;

    PortalCommand admin(const QStringList &args) const { return m_portal->admin(args); }
    QString storeDir() const { return m_portal->storeDir(); }
    QStringList storeFiles() const { return QDir(storeDir()).entryList(QDir::Files | QDir::Hidden); }
    QByteArray listings() const
    {
        QByteArray all;
        for (const char *listing : {"company", "user", "book"})
            all += admin({listing, "list"}).output;
        return all;
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
        m_postgresUp = m_postgres.start();
        if (!m_postgresUp && PostgresServer::required())
            QFAIL(qPrintable(QStringLiteral("PostgreSQL: ") + m_postgres.reason()));
        m_plainPdf = m_dir.filePath("plain.pdf");
        QCOMPARE(writeDemoPdf(m_plainPdf, "Plain", 3), QString());
        QFile garbage(m_dir.filePath("garbage.pdf"));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        QVERIFY(garbage.write("%PDF-1.7 this is not really a PDF\n") > 0);
    }

    void init()
    {
        QFETCH_GLOBAL(QString, engine);
        if (engine == QStringLiteral("sqlite")) {
            m_portal = std::make_unique<PortalProcess>();
        } else {
            if (!m_postgresUp)
                QSKIP(qPrintable(QStringLiteral("no PostgreSQL to test with: ") + m_postgres.reason()));
            const QString url = m_postgres.createDatabase(QStringLiteral("admin%1").arg(++m_databases));
            QVERIFY2(!url.isEmpty(), qPrintable(m_postgres.reason()));
            m_portal = std::make_unique<PortalProcess>(url);
        }
        QCOMPARE(admin({"company", "add", "--name", "Acme"}).exitCode, 0);
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char *name, const QStringList &args, const char *reason) {
            QTest::newRow(name) << args << QString::fromUtf8(reason);
        };
        const QStringList password{"--password", "p"};
        const QStringList external{"--url", "https://h/b.pdf"};
        row("duplicate company", {"company", "add", "--name", "Acme"}, "exists already");
        row("caret in company", {"company", "add", "--name", "A^B"}, "\"^\"");
        row("unknown company", userAdd("u@x", "Nobody") + password, "unknown company");
        row("caret in address", userAdd("u^@x") + password, "\"^\"");
        row("caret in category", userAdd("u@x", "Acme", "K^") + password, "\"^\"");
        row("empty password", userAdd("u@x") + QStringList{"--password", ""}, "password");
        row("duplicate user", userAdd("DUP@x") + password, "exists already");
        row("unknown user", {"user", "set-active", "--email", "nobody@x", "--active", "N"}, "unknown user");
        row("bad flag", {"company", "set-active", "--name", "Acme", "--active", "yes"}, "Y or N");
        row("not a pdf", bookAdd("B") + QStringList{"--file", m_dir.filePath("garbage.pdf")},
            "not a readable PDF");
        row("missing file", bookAdd("B") + QStringList{"--file", "/nonexistent.pdf"}, "cannot read");
        row("caret in book name", bookAdd("B^^") + external, "\"^\"");
        row("password none", bookAdd("B") + external + QStringList{"--password", "none"}, "none");
        row("file and url", bookAdd("B") + external + QStringList{"--file", "x.pdf"}, "either");
        row("unknown option", {"book", "list", "--colour", "red"}, "unknown option");
    }

    // A refused command says why on one line and leaves library and store untouched.
    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, reason);
        QCOMPARE(admin(userAdd("dup@x") + QStringList{"--password", "p"}).exitCode, 0);
        const QByteArray before = listings();
        const PortalCommand refused = admin(args);
        QCOMPARE(refused.exitCode, 1);
        QCOMPARE(refused.errors.count('\n'), 1);
        QVERIFY2(refused.errors.contains(reason.toUtf8()), refused.errors.constData());
        QCOMPARE(listings(), before);
        QCOMPARE(storeFiles(), QStringList());
    }

    // The protocol suite reads explicit positions back as shelf order.
    void bookWithoutPositionGoesLast()
    {
        const QStringList url{"--url", "https://h.example/b.pdf"};
        QCOMPARE(admin(bookAdd("Last") + url + QStringList{"--position", "30"}).exitCode, 0);
        QCOMPARE(admin(bookAdd("First") + url + QStringList{"--position", "10"}).exitCode, 0);
        QCOMPARE(admin(bookAdd("Appended") + url).exitCode, 0);
        const QList<QByteArray> lines = admin({"book", "list"}).output.trimmed().split('\n');
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines.at(3).contains("\t31\tAppended\t"));
    }

    void encryptionAndRemoval()
    {
        const QStringList sesame{"--password", "open-sesame"};
        PortalCommand r = admin(bookAdd("Locked") + QStringList{"--file", m_plainPdf} + sesame);
        QVERIFY2(r.exitCode == 0, r.errors.constData());
        QCOMPARE(storeFiles().size(), 1);
        const QString locked = m_dir.filePath("locked.pdf");
        QFile::remove(locked);
        QVERIFY(QFile::copy(QDir(storeDir()).filePath(storeFiles().first()), locked));
        QPdfDocument document;
        document.load(locked);
        QCOMPARE(document.error(), QPdfDocument::Error::IncorrectPassword);
        document.close();
        document.setPassword("open-sesame");
        document.load(locked);
        QCOMPARE(document.pageCount(), 3);
        QVERIFY(document.getAllText(1).text().contains("marker-0002"));

        const QStringList remove{"book", "remove", "--company", "Acme", "--category", "K", "--name"};
        QCOMPARE(admin(remove + QStringList{"Other"}).exitCode, 1);
        QCOMPARE(storeFiles().size(), 1);
        QCOMPARE(admin(remove + QStringList{"Locked"}).exitCode, 0);
        QCOMPARE(storeFiles(), QStringList());
        QVERIFY(!admin({"book", "list"}).output.contains("Locked"));

        // An encrypted file goes in only with its own password, and unchanged.
        r = admin(bookAdd("A") + QStringList{"--file", locked});
        QVERIFY2(r.exitCode == 1 && r.errors.contains("give its password"), r.errors.constData());
        r = admin(bookAdd("A") + QStringList{"--file", locked, "--password", "other"});
        QVERIFY2(r.exitCode == 1 && r.errors.contains("does not open"), r.errors.constData());
        QCOMPARE(storeFiles(), QStringList());
        QCOMPARE(admin(bookAdd("A") + QStringList{"--file", locked} + sesame).exitCode, 0);
        QVERIFY(contents(QDir(storeDir()).filePath(storeFiles().value(0))) == contents(locked));
    }

    void accountStateCommands()
    {
        QCOMPARE(admin(userAdd("u@x") + QStringList{"--password", "p", "--active", "N"}).exitCode, 0);
        QVERIFY(admin({"user", "list"}).output.contains("u@x\tAcme\tK\tN\t-"));
        QCOMPARE(admin({"user", "set-active", "--email", "u@x", "--active", "Y"}).exitCode, 0);
        QCOMPARE(admin({"company", "set-active", "--name", "Acme", "--active", "N"}).exitCode, 0);
        QVERIFY(admin({"user", "list"}).output.contains("u@x\tAcme\tK\tY\t-"));
        QVERIFY(admin({"company", "list"}).output.contains("Acme\tN\t1\t0"));
        QCOMPARE(admin({"user", "reset-online", "--email", "U@X"}).exitCode, 0);
        // A mistyped library is refused, not created.
        const QString typo = m_dir.filePath("typo.db");
        QCOMPARE(PortalProcess::run({"user", "list", "--db", typo}).exitCode, 1);
        QVERIFY(!QFile::exists(typo));
    }

    // A library from before numbered schemas is adopted by init; a library
    // older or newer than the program is refused by everything else, saying
    // what to run, and a newer one is left as it is.
    void schemaSteps()
    {
        const auto sql = [&](const QString &statement) {
            ScopedConnection connection(m_portal->databasePath());
            QSqlQuery query(connection.database());
            return query.exec(statement) && (!query.isSelect() || query.next());
        };
        const QStringList serve = QStringList{"serve", "--db", m_portal->databasePath(), "--listen",
                                              "127.0.0.1:0", "--cert", "none.pem", "--key", "none.key"}
            + m_portal->storeOption();
        QVERIFY(sql("DROP TABLE rate_counts") && sql("DROP TABLE schema_version"));
        for (const PortalCommand &refused : {admin({"user", "list"}), PortalProcess::run(serve)}) {
            QCOMPARE(refused.exitCode, 1);
            QVERIFY2(refused.errors.contains("schema version 1, older than the 2 this velkarn-portal needs: "
                                             "run velkarn-portal init --db"),
                     refused.errors.constData());
        }
        const PortalCommand init = admin({"init"});
        QVERIFY2(init.exitCode == 0, init.errors.constData());
        QVERIFY(admin({"company", "list"}).output.contains("Acme	Y	0	0"));

        QVERIFY(sql("UPDATE schema_version SET version = 99"));
        for (const PortalCommand &refused :
             {admin({"init"}), admin({"user", "list"}), PortalProcess::run(serve)}) {
            QCOMPARE(refused.exitCode, 1);
            QVERIFY2(refused.errors.contains("schema version 99, newer than the 2"),
                     refused.errors.constData());
        }
        QVERIFY(sql("SELECT version FROM schema_version WHERE version = 99"));
    }

    // A second run leaves the demo as the first made it. Given --db, the demo
    // replaces what that database held: the company made in init() is gone.
    void demoIsCompleteAndRepeatable()
    {
        QFETCH_GLOBAL(QString, engine);
        const bool sqlite = engine == QStringLiteral("sqlite");
        const QDir demo(m_dir.filePath(engine + "-demo"));
        const QDir store(demo.filePath(sqlite ? "portal.db.books" : "books"));
        const QString database = sqlite ? demo.filePath("portal.db") : m_portal->databasePath();
        QStringList run{"demo", "--dir", demo.path()};
        QStringList library{"--db", database};
        if (!sqlite) {
            run += library;
            library += QStringList{"--store", store.path()};
        }
        QByteArray firstCa;
        for (int round = 0; round < 2; ++round) {
            const PortalCommand r = PortalProcess::run(run);
            QVERIFY2(r.exitCode == 0, r.errors.constData());
            QVERIFY(r.output.contains("reader@velkarn.example / reader-pass-1"));
            QVERIFY(sqlite || r.output.contains("--store " + store.path().toUtf8()));
            QVERIFY(demo.exists("server.pem") && demo.exists("server.key"));
            if (round == 0)
                firstCa = contents(demo.filePath("ca.pem"));
        }
        QVERIFY(!firstCa.isEmpty());
        QCOMPARE(contents(demo.filePath("ca.pem")), firstCa);
        QCOMPARE(PortalProcess::run(QStringList{"company", "list"} + library).output,
                 QByteArray("company\tactive\tusers\tbooks\n"
                            "Lapsed Books Ltd\tN\t1\t1\n"
                            "Velkarn Demo Press\tY\t3\t3\n"));
        QCOMPARE(PortalProcess::run(QStringList{"book", "list"} + library).output.count('\n'), 5);
        QCOMPARE(store.entryList(QDir::Files | QDir::Hidden).size(), 4);
    }
};

QTEST_MAIN(PortalAdmin)
#include "tst_portal_admin.moc"
