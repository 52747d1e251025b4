#include "CommandLine.h"
#include "DatabaseLocation.h"
#include "NameRules.h"
#include "RateLimiter.h"
#include "RequestBody.h"
#include "ServeCommand.h"

#include <QtTest>

#include <functional>

using namespace vk;

// The portal's parsers and limits on their own, where each edge case is cheap.
class PortalUnits : public QObject
{
    Q_OBJECT

private slots:
    // fields: what the reader cuts out, in body order; none when it refuses the body.
    void requestBodies_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("user percent not decoded") << "user" << QByteArray("user=a%40b") << QStringList{"a%40b"};
        QTest::newRow("user utf-8") << "user" << QByteArray("user=j\xc3\xb6rg@x") << QStringList{QString::fromUtf8("j\xc3\xb6rg@x")};
        QTest::newRow("user empty") << "user" << QByteArray("user=") << QStringList{""};
        QTest::newRow("user wrong field") << "user" << QByteArray("usr=a") << QStringList{};
        QTest::newRow("user not utf-8") << "user" << QByteArray("user=a\xff") << QStringList{};
        QTest::newRow("status") << "status" << QByteArray("user=a+b&c=d@x&status=Y") << QStringList{"a+b&c=d@x", "Y"};
        QTest::newRow("status name in address") << "status" << QByteArray("user=a&status=N@x&status=Y") << QStringList{"a&status=N@x", "Y"};
        QTest::newRow("status missing") << "status" << QByteArray("user=a@x") << QStringList{};
        QTest::newRow("status first") << "status" << QByteArray("&status=Yuser=a") << QStringList{};
        QTest::newRow("book") << "book" << QByteArray("company=Acme + Sons&categoryname=A=B") << QStringList{"Acme + Sons", "A=B"};
        QTest::newRow("book name in category") << "book" << QByteArray("company=Acme&categoryname=x&categoryname=y") << QStringList{"Acme", "x&categoryname=y"};
        QTest::newRow("book no category") << "book" << QByteArray("company=Acme") << QStringList{};
    }

    void requestBodies()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, body);
        QFETCH(QStringList, fields);
        QStringList read; // stays empty when the body is refused
        if (kind == QLatin1String("user")) {
            if (const UserCheckBody parsed = parseUserCheckBody(body); parsed.valid)
                read = {parsed.user};
        } else if (kind == QLatin1String("status")) {
            if (const StatusBody parsed = parseStatusBody(body); parsed.valid)
                read = {parsed.user, parsed.status};
        } else if (const BookCheckBody parsed = parseBookCheckBody(body); parsed.valid) {
            read = {parsed.company, parsed.category};
        }
        QCOMPARE(read, fields);
    }

    // A SQLite library's limits, counted in memory by its one process.
    void rateLimiter()
    {
        RateLimiter limiter(3);
        const QString a = QStringLiteral("a");
        const qint64 t0 = 1'000'000;
        // Refusals are not counted: the window slides with the accepted checks.
        QList<bool> allowed;
        for (qint64 at : {0, 10'000, 20'000, 30'000, 59'999, 60'000, 60'001, 70'000})
            allowed.append(limiter.allow(a, t0 + at));
        QCOMPARE(allowed, (QList<bool>{true, true, true, false, false, true, false, true}));
        QVERIFY2(limiter.allow(QStringLiteral("b"), t0 + 70'000), "clients are counted apart");

        // Clients that went quiet are forgotten, so a flood of addresses cannot grow the table for good.
        RateLimiter one(1);
        for (int i = 0; i < 5000; ++i)
            one.allow(QString::number(i), 0);
        QVERIFY(one.allow(QStringLiteral("late"), 120'000));
        QVERIFY(one.trackedClients() < 5000);
        QVERIFY(!one.allow(QStringLiteral("late"), 120'001));
    }

    // empty expected: refused. A URL never takes a password, nor settings
    // that could smuggle other libpq options in.
    void databaseLocations_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("file") << "lib.db" << "lib.db";
        QTest::newRow("colon in a file name") << "QPSQL:dbname=x" << "QPSQL:dbname=x";
        QTest::newRow("url") << "postgresql://velkarn@db.example:5433/lib" << "postgresql://velkarn@db.example:5433/lib";
        QTest::newRow("short scheme, no port") << "postgres://u@h/lib" << "postgresql://u@h/lib";
        QTest::newRow("allowed setting") << "postgresql://u@h/lib?sslmode=require" << "postgresql://u@h/lib";
        QTest::newRow("password") << "postgresql://u:secret@h/lib" << "";
        QTest::newRow("no database") << "postgresql://u@h/" << "";
        QTest::newRow("unknown setting") << "postgresql://u@h/lib?password=x" << "";
        QTest::newRow("quote in a setting") << "postgresql://u@h/lib?application_name=a'b" << "";
    }

    void databaseLocations()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        try {
            const DatabaseLocation location = parseDatabaseLocation(text);
            QCOMPARE(describeLocation(location), shown);
            QVERIFY(!location.options.contains(QStringLiteral("secret")));
        } catch (const CommandError &error) {
            QVERIFY2(shown.isEmpty(), qPrintable(error.message));
            QVERIFY(!error.message.contains(QStringLiteral("secret")));
        }
    }

    void nameRules_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("name") << "plain" << "Field Manual" << true;
        QTest::newRow("empty name") << "plain" << "" << false;
        QTest::newRow("name with newline") << "plain" << "A\nB" << false;
        QTest::newRow("company with +&=") << "company" << "Acme & Sons + Co=1" << true;
        QTest::newRow("company with the split field") << "company" << "A&categoryname=B" << false;
        QTest::newRow("password non-ascii") << "password" << QString::fromUtf8("pa\xe2\x82\xacss") << false;
        QTest::newRow("https url") << "url" << "https://books.example.test/a.pdf?x=1" << true;
        QTest::newRow("relative url") << "url" << "/books/a.pdf" << false;
        QTest::newRow("ftp url") << "url" << "ftp://h/a.pdf" << false;
    }

    void nameRules()
    {
        QFETCH(QString, kind);
        QFETCH(QString, value);
        QFETCH(bool, accepted);
        const QHash<QString, std::function<QString(const QString &)>> rules{
            {"plain", [](const QString &v) { return checkPlainName(QStringLiteral("book name"), v); }},
            {"company", checkCompanyName}, {"password", checkAccountPassword}, {"url", checkBookUrl}};
        const QString problem = rules.value(kind)(value);
        QVERIFY2(problem.isEmpty() == accepted, qPrintable(problem));
    }

    void listenAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("url"); // empty: refused
        QTest::newRow("ipv4") << "127.0.0.1:8443" << "https://127.0.0.1:8443";
        QTest::newRow("port 0") << "localhost:0" << "https://localhost:0";
        QTest::newRow("ipv6") << "[::1]:9000" << "https://[::1]:9000";
        QTest::newRow("bare ipv6") << "::1:9000" << "";
        QTest::newRow("no port") << "localhost" << "";
        QTest::newRow("port too big") << "h:70000" << "";
    }

    void listenAddress()
    {
        QFETCH(QString, text);
        QFETCH(QString, url);
        try {
            const ListenAddress parsed = parseListenAddress(text);
            QCOMPARE(httpsUrl(parsed.host, parsed.port), url);
        } catch (const CommandError &) {
            QVERIFY(url.isEmpty());
        }
    }

    void commandOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("valid");
        QTest::newRow("pairs") << QStringList{"--db", "f", "--name", "A B"} << true;
        QTest::newRow("value looks like an option") << QStringList{"--name", "--db"} << true;
        QTest::newRow("missing value") << QStringList{"--db"} << false;
        QTest::newRow("twice") << QStringList{"--db", "a", "--db", "b"} << false;
        QTest::newRow("stray word") << QStringList{"db", "a"} << false;
    }

    void commandOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, valid);
        try {
            const CommandOptions options(args, {QStringLiteral("db"), QStringLiteral("name")});
            QVERIFY(valid);
        } catch (const CommandError &error) {
            QVERIFY2(!valid, qPrintable(error.message));
        }
    }
};

QTEST_GUILESS_MAIN(PortalUnits)
#include "tst_portal_units.moc"
