#include "AnswerText.h"
#include "BookAnswer.h"
#include "LoginAnswer.h"
#include "velkarn.h"

#include <QRandomGenerator>
#include <QTest>

#include <limits>

namespace {

QString enc(const QString &plain)
{
    return velkarn().encodestr(plain);
}

QString record(const QString &name, const QString &location, const QString &password,
               const QString &mark = QStringLiteral(".+."))
{
    return QStringLiteral("01") + name + QStringLiteral("^^") + enc(location) + QStringLiteral("^^")
        + enc(password) + QStringLiteral("^^") + QStringLiteral("xyz") + mark;
}

QString bookAnswerOf(int count)
{
    QString text = QStringLiteral("*START*");
    for (int i = 0; i < count; ++i)
        text += record(QStringLiteral("Book %1").arg(i), QStringLiteral("https://h/b%1.pdf").arg(i),
                       QStringLiteral("pw%1").arg(i));
    return text + QStringLiteral("*END*");
}

} // namespace

class PortalAnswersTest : public QObject
{
    Q_OBJECT
private slots:
    void loginAnswer_data();
    void loginAnswer();
    void bookAnswer_data();
    void bookAnswer();
    void bookAnswerWithManyRecords();
    void serverAnswer_data();
    void serverAnswer();
    void invalidUtf8IsEmpty();
    void hugeAnswers();
    void mutatedAnswersKeepInvariants();
};

void PortalAnswersTest::loginAnswer_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("useronline");
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("category");

    const QString pw = enc(QStringLiteral("s3cret"));
    const QString s = QStringLiteral("s3cret");
    QTest::newRow("accepted") << "NYYAcme^^Sales^^" + pw << s << true << "N" << "Acme" << "Sales";
    QTest::newRow("already online") << "YYYAcme^^Sales^^" + pw << s << false << "Y" << "Acme" << "Sales";
    QTest::newRow("online, wrong password") << "YYYAcme^^Sales^^" + pw << "nope" << false << "Y" << "Acme" << "Sales";
    QTest::newRow("account inactive") << "NNYAcme^^Sales^^" + pw << s << false << "N" << "Acme" << "Sales";
    QTest::newRow("third flag off") << "NYNAcme^^Sales^^" + pw << s << false << "N" << "Acme" << "Sales";
    QTest::newRow("flags lower case") << "nyyAcme^^Sales^^" + pw << s << false << "n" << "Acme" << "Sales";
    QTest::newRow("password case differs") << "NYYAcme^^Sales^^" + pw << "S3CRET" << false << "N" << "Acme" << "Sales";
    QTest::newRow("trailing space typed") << "NYYAcme^^Sales^^" + pw << "s3cret " << false << "N" << "Acme" << "Sales";
    QTest::newRow("empty company") << "NYY^^Sales^^" + pw << s << true << "N" << "" << "Sales";
    // The second search starts inside the first separator, so "^^^^" is read as
    // two overlapping separators and the password field keeps a "^".
    QTest::newRow("adjacent separators") << "NYYAcme^^^^" + pw << s << false << "N" << "Acme" << "";
    QTest::newRow("empty answer") << "" << s << false << "" << "" << "";
    QTest::newRow("truncated flags") << "NY" << s << false << "N" << "" << "";
    QTest::newRow("no separator") << "NYYAcme" << s << false << "N" << "" << "";
    QTest::newRow("one separator") << "NYYAcme^^Sales" << s << false << "N" << "Acme" << "";
    QTest::newRow("error page") << "<html><body>502 Bad Gateway</body></html>" << s << false << "<"
                                << "" << "";
    QTest::newRow("binary") << QString::fromLatin1("\x00\x01\xff^^\x00^^", 8) << s << false
                            << QString(QChar(0)) << "" << QString(QChar(0));
}

void PortalAnswersTest::loginAnswer()
{
    QFETCH(QString, text);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QFETCH(QString, useronline);
    QFETCH(QString, company);
    QFETCH(QString, category);

    velkarn v;
    const LoginAnswer answer = parseLoginAnswer(v, text, typed);
    QCOMPARE(answer.accepted, accepted);
    QCOMPARE(answer.useronline, useronline);
    QCOMPARE(answer.company, company);
    QCOMPARE(answer.category, category);
    QVERIFY(answer.useractive.size() <= 1 && answer.resactive.size() <= 1);
}

void PortalAnswersTest::bookAnswer_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("locations");
    QTest::addColumn<QStringList>("passwords");
    QTest::addColumn<int>("trailing"); // entries at the end whose location and password are meaningless

    const QString a = QStringLiteral("https://portal/books/a.pdf");
    const QString b = QStringLiteral("file:///srv/b.pdf");
    QTest::newRow("two records")
        << "*START*" + record("Alpha", a, "none") + record("Beta", b, "kilo52") + "*END*"
        << QStringList{"Alpha", "Beta"} << QStringList{a, b} << QStringList{"", "kilo52"} << 0;
    QTest::newRow("password None is kept")
        << "*START*" + record("Alpha", a, "None") + "*END*"
        << QStringList{"Alpha"} << QStringList{a} << QStringList{"None"} << 0;
    QTest::newRow("bad end mark ends the list")
        << "*START*" + record("Alpha", a, "p", ".-.") + record("Beta", b, "q") + "*END*"
        << QStringList{"Alpha"} << QStringList{a} << QStringList{"p"} << 0;
    QTest::newRow("no end mark adds an empty entry")
        << "*START*" + record("Alpha", a, "p")
        << QStringList{"Alpha", ""} << QStringList{a, ""} << QStringList{"p", ""} << 1;
    QTest::newRow("cut-off end mark")
        << "*START*" + record("Alpha", a, "p") + "*EN"
        << QStringList{"Alpha", ""} << QStringList{a, ""} << QStringList{"p", ""} << 1;
    QTest::newRow("answer ends inside the record mark")
        << ("*START*" + record("Alpha", a, "p")).chopped(1)
        << QStringList{"Alpha"} << QStringList{a} << QStringList{"p"} << 0;
    QTest::newRow("start mark only") << "*START*" << QStringList{""} << QStringList{""} << QStringList{""} << 0;
    QTest::newRow("short location decodes empty")
        << "*START*01Alpha^^00^^" + enc("p") + "^^xyz.+.*END*"
        << QStringList{"Alpha"} << QStringList{""} << QStringList{"p"} << 0;
    QTest::newRow("short start mark") << "*START" + record("Alpha", a, "p") + "*END*"
                                      << QStringList{} << QStringList{} << QStringList{} << 0;
    QTest::newRow("empty answer") << "" << QStringList{} << QStringList{} << QStringList{} << 0;
    QTest::newRow("error page") << "<html>404 Not Found</html>" << QStringList{} << QStringList{}
                                << QStringList{} << 0;
    // A record without separators sends the searches back to the start of the
    // text, where the first record's marks would be read again and again.
    QTest::newRow("separators restart the search")
        << "*START*01A^^B^^C^^.+..+." << QStringList{"A", ""} << QStringList{"", ""}
        << QStringList{"", ""} << 1;
}

void PortalAnswersTest::bookAnswer()
{
    QFETCH(QString, text);
    QFETCH(QStringList, names);
    QFETCH(QStringList, locations);
    QFETCH(QStringList, passwords);
    QFETCH(int, trailing);

    velkarn v;
    const BookList books = parseBookAnswer(v, text);
    QCOMPARE(books.names, names);
    QCOMPARE(books.locations.size(), names.size());
    QCOMPARE(books.passwords.size(), names.size());
    const qsizetype meaningful = names.size() - trailing;
    QCOMPARE(books.locations.first(meaningful), locations.first(meaningful));
    QCOMPARE(books.passwords.first(meaningful), passwords.first(meaningful));
}

void PortalAnswersTest::bookAnswerWithManyRecords()
{
    velkarn v;
    const BookList books = parseBookAnswer(v, bookAnswerOf(10000));
    QCOMPARE(books.names.size(), 10000);
    QCOMPARE(books.locations.size(), 10000);
    QCOMPARE(books.passwords.size(), 10000);
    QCOMPARE(books.names.last(), QStringLiteral("Book 9999"));
    QCOMPARE(books.locations.last(), QStringLiteral("https://h/b9999.pdf"));
    QCOMPARE(books.passwords.first(), QStringLiteral("pw0"));
}

void PortalAnswersTest::serverAnswer_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("one") << "1" << 1;
    QTest::newRow("white space and line break") << " \t1\r\n" << 1;
    QTest::newRow("plus sign") << "+1" << 1;
    QTest::newRow("digits then text") << "12abc" << 12;
    QTest::newRow("negative") << "-1" << -1;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("text") << "OK" << 0;
    QTest::newRow("sign only") << "-" << 0;
    QTest::newRow("too large") << "99999999999" << std::numeric_limits<int>::max();
    QTest::newRow("too small") << "-99999999999" << std::numeric_limits<int>::min();
}

void PortalAnswersTest::serverAnswer()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(leadingIntValue(text), value);
}

void PortalAnswersTest::invalidUtf8IsEmpty()
{
    QCOMPARE(answerText(QByteArray("1\n")), QStringLiteral("1\n"));
    QCOMPARE(answerText(QByteArray("caf\xc3\xa9")), QStringLiteral("caf\u00e9"));
    QCOMPARE(answerText(QByteArray("1\xff")), QString());
    QCOMPARE(answerText(QByteArray("\xc3")), QString());
}

void PortalAnswersTest::hugeAnswers()
{
    velkarn v;
    const QString bulk(10 * 1024 * 1024, QLatin1Char('A'));
    const LoginAnswer login = parseLoginAnswer(v, "NYYAcme^^Sales^^" + bulk, QStringLiteral("s3cret"));
    QVERIFY(!login.accepted);
    QCOMPARE(login.company, QStringLiteral("Acme"));
    QCOMPARE(login.passwordenc.size(), bulk.size());
    QVERIFY(!parseLoginAnswer(v, bulk, QStringLiteral("s3cret")).accepted);
    QCOMPARE(parseBookAnswer(v, "*START*" + bulk).names.size(), 1);
}

void PortalAnswersTest::mutatedAnswersKeepInvariants()
{
    const QString login = "NYYAcme^^Sales^^" + enc(QStringLiteral("s3cret"));
    const QString books = bookAnswerOf(4);
    const QString alphabet = QStringLiteral("^^.+.*END*START*\x00\xff\u00e9\xd800");
    QRandomGenerator random(20240501);
    velkarn v;
    for (int round = 0; round < 4000; ++round) {
        QString text = round % 2 ? books : login;
        const int edits = 1 + random.bounded(8);
        for (int e = 0; e < edits && !text.isEmpty(); ++e) {
            const int at = random.bounded(int(text.size()));
            switch (random.bounded(4)) {
            case 0: text.remove(at, 1 + random.bounded(6)); break;
            case 1: text.insert(at, alphabet.mid(random.bounded(int(alphabet.size())), 1 + random.bounded(3))); break;
            case 2: text[at] = alphabet.at(random.bounded(int(alphabet.size()))); break;
            default: text.truncate(at); break;
            }
        }
        const LoginAnswer answer = parseLoginAnswer(v, text, QStringLiteral("s3cret"));
        QVERIFY(answer.useronline.size() <= 1);
        if (answer.accepted)
            QVERIFY(answer.useronline == "N" && answer.useractive == "Y" && answer.resactive == "Y");
        const BookList list = parseBookAnswer(v, text);
        QCOMPARE(list.locations.size(), list.names.size());
        QCOMPARE(list.passwords.size(), list.names.size());
        QVERIFY(list.names.size() <= text.size());
    }
}

QTEST_GUILESS_MAIN(PortalAnswersTest)
#include "tst_portalanswers.moc"
