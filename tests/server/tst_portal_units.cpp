#include "ClientKey.h"
#include "CommandLine.h"
#include "DatabaseLocation.h"
#include "NameRules.h"
#include "RateLimiter.h"
#include "RequestBody.h"
#include "RequestLog.h"
#include "ServeCommand.h"

#include <QtTest>

#include <functional>

using namespace vk;

namespace {

const QString kRefused = QStringLiteral("refused");

// Each reader turns its input into one comparable text; a CommandError
// thrown on the way counts as "refused".
using Reader = std::function<QString(const QByteArray &)>;
using TextReader = std::function<QString(const QString &)>;

// A request body's fields, joined, or "refused".
template <typename Body, typename... Fields>
Reader body(Body (*parse)(const QByteArray &), Fields Body::*...fields)
{
    return [=](const QByteArray &in) {
        const Body body = parse(in);
        return body.valid ? QStringList{body.*fields...}.join(u'|') : kRefused;
    };
}

Reader onText(const TextReader &read)
{
    return [read](const QByteArray &in) { return read(QString::fromUtf8(in)); };
}

// A rule answers with the reason it refuses a value, or nothing.
Reader rule(const TextReader &check)
{
    return onText([check](const QString &value) { return check(value).isEmpty() ? "ok" : kRefused; });
}

const QHash<QString, Reader> &readerTable()
{
    static const QHash<QString, Reader> table{
        {"user body", body(parseUserCheckBody, &UserCheckBody::user)},
        {"status body", body(parseStatusBody, &StatusBody::user, &StatusBody::status)},
        {"book body", body(parseBookCheckBody, &BookCheckBody::company, &BookCheckBody::category)},
        // A URL never takes a password, nor settings that could smuggle other libpq options in.
        {"database", onText([](const QString &text) {
             const DatabaseLocation location = parseDatabaseLocation(text);
             return location.options.contains("secret") ? "leaked" : describeLocation(location);
         })},
        {"listen", onText([](const QString &text) {
             const ListenAddress address = parseListenAddress(text);
             return httpsUrl(address.host, address.port);
         })},
        {"options", onText([](const QString &text) {
             const CommandOptions options(text.split(u'|'), {"db", "name"});
             return QStringLiteral("ok");
         })},
        {"plain name", rule([](const QString &value) { return checkPlainName("book name", value); })},
        {"company", rule(checkCompanyName)},
        {"password", rule(checkAccountPassword)},
        {"book url", rule(checkBookUrl)},
        {"client", onText(clientKey)},
        {"log path", onText(loggablePath)},
        {"library log", onText(libraryLogLine)},
    };
    return table;
}

} // namespace

// The portal's parsers, rules and limits on their own, where each edge case is cheap.
class PortalUnits : public QObject
{
    Q_OBJECT

private slots:
    void readers_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char *kind, const QByteArray &input, const QString &out) {
            QTest::newRow(name) << QString::fromLatin1(kind) << input << out;
        };
        // The viewer does not escape its form values: nothing is decoded.
        row("user percent", "user body", "user=a%40b", "a%40b");
        row("user utf-8", "user body", "user=j\xc3\xb6rg@x", QString::fromUtf8("j\xc3\xb6rg@x"));
        row("user wrong field", "user body", "usr=a", kRefused);
        row("user not utf-8", "user body", "user=a\xff", kRefused);
        row("status raw + & =", "status body", "user=a+b&c=d@x&status=Y", "a+b&c=d@x|Y");
        row("status name in address", "status body", "user=a&status=N@x&status=Y", "a&status=N@x|Y");
        row("status missing", "status body", "user=a@x", kRefused);
        row("status first", "status body", "&status=Yuser=a", kRefused);
        row("book", "book body", "company=Acme + Sons&categoryname=A=B", "Acme + Sons|A=B");
        row("book name in category", "book body", "company=A&categoryname=x&categoryname=y",
            "A|x&categoryname=y");
        row("book no category", "book body", "company=Acme", kRefused);

        row("db colon in a file name", "database", "QPSQL:dbname=x", "QPSQL:dbname=x");
        row("db short scheme", "database", "postgres://u@h/lib", "postgresql://u@h/lib");
        row("db allowed setting", "database", "postgresql://u@h/lib?sslmode=require", "postgresql://u@h/lib");
        row("db password", "database", "postgresql://u:secret@h/lib", kRefused);
        row("db no database", "database", "postgresql://u@h/", kRefused);
        row("db unknown setting", "database", "postgresql://u@h/lib?password=secret", kRefused);
        row("db quote in a setting", "database", "postgresql://u@h/lib?application_name=a'b", kRefused);

        row("listen ipv6", "listen", "[::1]:9000", "https://[::1]:9000");
        row("listen bare ipv6", "listen", "::1:9000", kRefused);
        row("listen no port", "listen", "localhost", kRefused);
        row("listen port too big", "listen", "h:70000", kRefused);

        row("option value like an option", "options", "--name|--db", "ok");
        row("option missing value", "options", "--db", kRefused);
        row("option twice", "options", "--db|a|--db|b", kRefused);
        row("option stray word", "options", "db|a", kRefused);

        row("empty name", "plain name", "", kRefused);
        row("name with newline", "plain name", "A\nB", kRefused);
        row("company with the split field", "company", "A&categoryname=B", kRefused);
        row("password non-ascii", "password", "pa\xe2\x82\xac" "ss", kRefused);
        row("ftp url", "book url", "ftp://h/a.pdf", kRefused);

        // Limits count per host: an IPv6 host owns its whole /64.
        row("client mapped ipv4", "client", "::ffff:192.0.2.7", "192.0.2.7");
        row("client ipv6", "client", "2001:db8:1:2:aaaa:bbbb:cccc:dddd", "2001:db8:1:2::/64");

        // What a client cannot easily send; tokens and cuts are read in the running portal's log.
        row("C1 and line separator", "log path", "/\xc2\x9b\xe2\x80\xa8", "/\\x9b\\x2028");
        row("backslash stays readable", "log path", "/a\\x0a", "/a\\\\x0a");
        row("library line break", "library log", "bad\x1b line\nFORGED",
            "velkarn-portal: bad\\x1b line\\x0aFORGED");
        row("library flood", "library log", QByteArray(4096, 'x'),
            "velkarn-portal: " + QString(512, u'x') + "...[cut]");
    }

    void readers()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, input);
        QFETCH(QString, expected);
        QString read;
        try {
            read = readerTable().value(kind)(input);
        } catch (const CommandError &error) {
            read = error.message.contains("secret") ? QStringLiteral("leaked") : kRefused;
        }
        QCOMPARE(read, expected);
    }

    // Clients that went quiet are forgotten, so a flood of addresses cannot grow the table for good.
    void rateLimiterForgetsQuietClients()
    {
        RateLimiter one(1);
        for (int i = 0; i < 5000; ++i)
            one.allow(QString::number(i), 0);
        QVERIFY(one.allow("late", 120'000));
        QVERIFY(one.trackedClients() < 5000);
        QVERIFY(!one.allow("late", 120'001));
    }
};

QTEST_GUILESS_MAIN(PortalUnits)
#include "tst_portal_units.moc"
