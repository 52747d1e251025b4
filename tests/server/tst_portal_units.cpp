#include "NameRules.h"
#include "PortalAnswers.h"
#include "RateLimiter.h"
#include "RequestBody.h"
#include "RequestLog.h"
#include "ServeCommand.h"
#include "CommandLine.h"
#include "velkarn.h"

#include <QtTest>

// Reads a book answer the way the viewer does: fixed offsets from each
// separator, decoding location and password.
static QList<BookRecord> readBookAnswer(const QString &text)
{
    QList<BookRecord> books;
    velkarn v;
    if (velkarn::substr(text, 0, 7) != QStringLiteral("*START*"))
        return books;
    qint32 p = 7;
    for (;;) {
        const qint32 s1 = velkarn::Findstringfrom(text, QStringLiteral("^^"), p + 1);
        const qint32 s2 = velkarn::Findstringfrom(text, QStringLiteral("^^"), s1 + 1);
        const qint32 s3 = velkarn::Findstringfrom(text, QStringLiteral("^^"), s2 + 1);
        QString password = v.decodestr(velkarn::substr(text, s2 + 2, s3 - (s2 + 2)));
        if (password == QStringLiteral("none"))
            password.clear();
        books.append({velkarn::substr(text, p + 2, s1 - (p + 2)),
                      v.decodestr(velkarn::substr(text, s1 + 2, s2 - (s1 + 2))), password});
        if (velkarn::substr(text, s3 + 5, 3) != QStringLiteral(".+."))
            break;
        p = s3 + 8;
        if (velkarn::substr(text, p, 5) == QStringLiteral("*END*"))
            break;
    }
    return books;
}

class PortalUnits : public QObject
{
    Q_OBJECT

private slots:
    void userCheckBody_data();
    void userCheckBody();
    void statusBody_data();
    void statusBody();
    void bookCheckBody_data();
    void bookCheckBody();
    void loginAnswerReadsBack_data();
    void loginAnswerReadsBack();
    void unknownUserIsRefusedWhateverIsTyped();
    void bookAnswerReadsBack();
    void noBooksIsAnEmptyList();
    void rateLimiter();
    void rateLimiterForgetsIdleClients();
    void nameRules_data();
    void nameRules();
    void listenAddress_data();
    void listenAddress();
    void logKeepsTokensOut();
    void commandOptions_data();
    void commandOptions();
};

void PortalUnits::userCheckBody_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("user");
    QTest::newRow("plain") << QByteArray("user=reader@example.test") << true << "reader@example.test";
    QTest::newRow("plus stays plus") << QByteArray("user=a+b@example.test") << true << "a+b@example.test";
    QTest::newRow("ampersand and equals") << QByteArray("user=a&b=c@x") << true << "a&b=c@x";
    QTest::newRow("percent not decoded") << QByteArray("user=a%40b") << true << "a%40b";
    QTest::newRow("utf-8") << QByteArray("user=j\xc3\xb6rg@x") << true << QString::fromUtf8("j\xc3\xb6rg@x");
    QTest::newRow("empty address") << QByteArray("user=") << true << "";
    QTest::newRow("wrong field") << QByteArray("usr=a") << false << "";
    QTest::newRow("no body") << QByteArray() << false << "";
    QTest::newRow("not utf-8") << QByteArray("user=a\xff") << false << "";
}

void PortalUnits::userCheckBody()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, valid);
    QFETCH(QString, user);
    const UserCheckBody parsed = parseUserCheckBody(body);
    QCOMPARE(parsed.valid, valid);
    if (valid)
        QCOMPARE(parsed.user, user);
}

void PortalUnits::statusBody_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("status");
    QTest::newRow("signed in") << QByteArray("user=a@x&status=Y") << true << "a@x" << "Y";
    QTest::newRow("gone") << QByteArray("user=a@x&status=N") << true << "a@x" << "N";
    QTest::newRow("address with +&=") << QByteArray("user=a+b&c=d@x&status=Y") << true << "a+b&c=d@x" << "Y";
    QTest::newRow("address holding the field name")
        << QByteArray("user=a&status=N@x&status=Y") << true << "a&status=N@x" << "Y";
    QTest::newRow("empty address") << QByteArray("user=&status=N") << true << "" << "N";
    QTest::newRow("no status") << QByteArray("user=a@x") << false << "" << "";
    QTest::newRow("status first") << QByteArray("&status=Yuser=a") << false << "" << "";
}

void PortalUnits::statusBody()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, valid);
    QFETCH(QString, user);
    QFETCH(QString, status);
    const StatusBody parsed = parseStatusBody(body);
    QCOMPARE(parsed.valid, valid);
    if (valid) {
        QCOMPARE(parsed.user, user);
        QCOMPARE(parsed.status, status);
    }
}

void PortalUnits::bookCheckBody_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("category");
    QTest::newRow("plain") << QByteArray("company=Acme&categoryname=Maths") << true << "Acme" << "Maths";
    QTest::newRow("spaces and plus")
        << QByteArray("company=Acme + Sons&categoryname=A=B") << true << "Acme + Sons" << "A=B";
    QTest::newRow("category holding the field name")
        << QByteArray("company=Acme&categoryname=x&categoryname=y") << true << "Acme" << "x&categoryname=y";
    QTest::newRow("both empty") << QByteArray("company=&categoryname=") << true << "" << "";
    QTest::newRow("no category") << QByteArray("company=Acme") << false << "" << "";
}

void PortalUnits::bookCheckBody()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, valid);
    QFETCH(QString, company);
    QFETCH(QString, category);
    const BookCheckBody parsed = parseBookCheckBody(body);
    QCOMPARE(parsed.valid, valid);
    if (valid) {
        QCOMPARE(parsed.company, company);
        QCOMPARE(parsed.category, category);
    }
}

void PortalUnits::loginAnswerReadsBack_data()
{
    QTest::addColumn<bool>("online");
    QTest::addColumn<bool>("active");
    QTest::addColumn<bool>("companyActive");
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("flags");
    QTest::newRow("may sign in") << false << true << true << "Acme" << "Maths" << "s3cret" << "NYY";
    QTest::newRow("signed in elsewhere") << true << true << true << "Acme" << "Maths" << "pw" << "YYY";
    QTest::newRow("inactive, lapsed") << false << false << false << "Acme" << "Maths" << "pw" << "NNN";
    QTest::newRow("names with + & =") << false << true << true << "Acme & Sons" << "A=B+C" << "a+b=c&d^" << "NYY";
    QTest::newRow("long password wraps the key")
        << false << true << true << "A" << "B" << QString(300, QLatin1Char('x')) << "NYY";
}

void PortalUnits::loginAnswerReadsBack()
{
    QFETCH(bool, online);
    QFETCH(bool, active);
    QFETCH(bool, companyActive);
    QFETCH(QString, company);
    QFETCH(QString, category);
    QFETCH(QString, password);
    QFETCH(QString, flags);
    const QString text = QString::fromUtf8(loginAnswer({online, active, companyActive, company, category, password}));
    QCOMPARE(text.left(3), flags);
    const qint32 s1 = velkarn::Findstring(text, QStringLiteral("^^"));
    const qint32 s2 = velkarn::Findstringfrom(text, QStringLiteral("^^"), s1 + 1);
    QCOMPARE(velkarn::substr(text, 3, s1 - 3), company);
    QCOMPARE(velkarn::substr(text, s1 + 2, s2 - s1 - 2), category);
    const QString scrambled = velkarn::substr(text, s2 + 2, text.size() - s2 - 2);
    QCOMPARE(scrambled.size(), 2 + 2 * password.size());
    QCOMPARE(velkarn().decodestr(scrambled), password);
}

void PortalUnits::unknownUserIsRefusedWhateverIsTyped()
{
    const QString text = QString::fromUtf8(unknownUserAnswer());
    QCOMPARE(text, QStringLiteral("NNN^^^^"));
    const qint32 s2 = velkarn::Findstringfrom(text, QStringLiteral("^^"), velkarn::Findstring(text, QStringLiteral("^^")) + 1);
    QVERIFY(velkarn().decodestr(velkarn::substr(text, s2 + 2, text.size() - s2 - 2)).isEmpty());
}

void PortalUnits::bookAnswerReadsBack()
{
    const QList<BookRecord> books = {
        {QStringLiteral("First Book"), QStringLiteral("https://h:1/books/0123"), QString()},
        {QStringLiteral("Second & Last"), QStringLiteral("https://other.example/b.pdf?x=1&y=2"), QStringLiteral("p+w=1")},
        {QStringLiteral("X"), QStringLiteral("https://h/x"), QStringLiteral("None")},
    };
    const QString text = QString::fromUtf8(bookAnswer(books));
    QVERIFY(text.startsWith(QStringLiteral("*START*")));
    QVERIFY(text.endsWith(QStringLiteral(".+.*END*")));
    const QList<BookRecord> read = readBookAnswer(text);
    QCOMPARE(read.size(), books.size());
    for (qsizetype i = 0; i < books.size(); ++i) {
        QCOMPARE(read.at(i).name, books.at(i).name);
        QCOMPARE(read.at(i).location, books.at(i).location);
        QCOMPARE(read.at(i).password, books.at(i).password);
    }
}

void PortalUnits::noBooksIsAnEmptyList()
{
    QVERIFY(!bookAnswer({}).startsWith("*START*"));
    QVERIFY(readBookAnswer(QString::fromUtf8(bookAnswer({}))).isEmpty());
}

void PortalUnits::rateLimiter()
{
    RateLimiter limiter(3);
    const qint64 t0 = 1'000'000;
    QVERIFY(limiter.allow(QStringLiteral("a"), t0));
    QVERIFY(limiter.allow(QStringLiteral("a"), t0 + 10'000));
    QVERIFY(limiter.allow(QStringLiteral("a"), t0 + 20'000));
    QVERIFY(!limiter.allow(QStringLiteral("a"), t0 + 30'000));
    QVERIFY2(limiter.allow(QStringLiteral("b"), t0 + 30'000), "clients are counted apart");
    QVERIFY(!limiter.allow(QStringLiteral("a"), t0 + 59'999));
    // Refusals are not counted: the window slides with the accepted checks.
    QVERIFY(limiter.allow(QStringLiteral("a"), t0 + 60'000));
    QVERIFY(!limiter.allow(QStringLiteral("a"), t0 + 60'001));
    QVERIFY(limiter.allow(QStringLiteral("a"), t0 + 70'000));

    RateLimiter off(0);
    for (int i = 0; i < 1000; ++i)
        QVERIFY(off.allow(QStringLiteral("a"), t0));
}

void PortalUnits::rateLimiterForgetsIdleClients()
{
    RateLimiter limiter(1);
    for (int i = 0; i < 5000; ++i)
        limiter.allow(QString::number(i), 0);
    QVERIFY(limiter.allow(QStringLiteral("late"), 120'000));
    QVERIFY(limiter.trackedClients() < 5000);
    QVERIFY(!limiter.allow(QStringLiteral("late"), 120'001));
}

void PortalUnits::nameRules_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("name") << "plain" << "Field Manual" << true;
    QTest::newRow("name with caret") << "plain" << "A^B" << false;
    QTest::newRow("empty name") << "plain" << "" << false;
    QTest::newRow("name with newline") << "plain" << "A\nB" << false;
    QTest::newRow("company with +&=") << "company" << "Acme & Sons + Co=1" << true;
    QTest::newRow("company with the split field") << "company" << "A&categoryname=B" << false;
    QTest::newRow("company with caret") << "company" << "^^" << false;
    QTest::newRow("address with +&=") << "address" << "a+b&c=d@x" << true;
    QTest::newRow("address with caret") << "address" << "a^b@x" << false;
    QTest::newRow("password printable") << "password" << "p@ss w+rd&=^" << true;
    QTest::newRow("password empty") << "password" << "" << false;
    QTest::newRow("password non-ascii") << "password" << QString::fromUtf8("pa\xe2\x82\xacss") << false;
    QTest::newRow("book password none") << "bookpassword" << "none" << false;
    QTest::newRow("book password None") << "bookpassword" << "None" << true;
    QTest::newRow("https url") << "url" << "https://books.example.test/a.pdf?x=1" << true;
    QTest::newRow("relative url") << "url" << "/books/a.pdf" << false;
    QTest::newRow("ftp url") << "url" << "ftp://h/a.pdf" << false;
}

void PortalUnits::nameRules()
{
    QFETCH(QString, kind);
    QFETCH(QString, value);
    QFETCH(bool, accepted);
    QString problem;
    if (kind == QStringLiteral("plain"))
        problem = checkPlainName(QStringLiteral("book name"), value);
    else if (kind == QStringLiteral("company"))
        problem = checkCompanyName(value);
    else if (kind == QStringLiteral("address"))
        problem = checkAddress(value);
    else if (kind == QStringLiteral("password"))
        problem = checkAccountPassword(value);
    else if (kind == QStringLiteral("bookpassword"))
        problem = checkBookPassword(value);
    else
        problem = checkBookUrl(value);
    QVERIFY2(problem.isEmpty() == accepted, qPrintable(problem));
    QVERIFY(!problem.contains(QLatin1Char('\n')));
}

void PortalUnits::listenAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("url");
    QTest::newRow("ipv4") << "127.0.0.1:8443" << true << "127.0.0.1" << 8443 << "https://127.0.0.1:8443";
    QTest::newRow("port 0") << "localhost:0" << true << "localhost" << 0 << "https://localhost:0";
    QTest::newRow("ipv6") << "[::1]:9000" << true << "::1" << 9000 << "https://[::1]:9000";
    QTest::newRow("bare ipv6") << "::1:9000" << false << "" << 0 << "";
    QTest::newRow("no port") << "localhost" << false << "" << 0 << "";
    QTest::newRow("port too big") << "h:70000" << false << "" << 0 << "";
}

void PortalUnits::listenAddress()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, url);
    try {
        const ListenAddress parsed = parseListenAddress(text);
        QVERIFY(valid);
        QCOMPARE(parsed.host, host);
        QCOMPARE(int(parsed.port), port);
        QCOMPARE(httpsUrl(parsed.host, parsed.port), url);
    } catch (const CommandError &) {
        QVERIFY(!valid);
    }
}

void PortalUnits::logKeepsTokensOut()
{
    const QString token = QStringLiteral("0123456789abcdef0123456789abcdef");
    const QString path = loggablePath(QStringLiteral("/books/") + token);
    QVERIFY(!path.contains(token));
    QVERIFY(path.startsWith(QStringLiteral("/books/012345")));
    QCOMPARE(loggablePath(QStringLiteral("/adminportal/pdfuserchk.php")), QStringLiteral("/adminportal/pdfuserchk.php"));
    const QString line = requestLogLine(QDateTime::fromMSecsSinceEpoch(0, Qt::UTC), QStringLiteral("127.0.0.1"),
                                        QStringLiteral("POST"), QStringLiteral("/p"), 0, 1.5);
    QCOMPARE(line, QStringLiteral("1970-01-01T00:00:00.000Z 127.0.0.1 POST /p closed 1.50ms"));
}

void PortalUnits::commandOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("valid");
    QTest::newRow("pairs") << QStringList{"--db", "f", "--name", "A B"} << true;
    QTest::newRow("value looks like an option") << QStringList{"--name", "--db"} << true;
    QTest::newRow("unknown") << QStringList{"--nmae", "A"} << false;
    QTest::newRow("missing value") << QStringList{"--db"} << false;
    QTest::newRow("twice") << QStringList{"--db", "a", "--db", "b"} << false;
    QTest::newRow("stray word") << QStringList{"db", "a"} << false;
}

void PortalUnits::commandOptions()
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

QTEST_GUILESS_MAIN(PortalUnits)
#include "tst_portal_units.moc"
