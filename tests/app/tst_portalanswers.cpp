#include "AnswerText.h"
#include "BookAnswer.h"
#include "LoginAnswer.h"
#include "ShownText.h"
#include "velkarn.h"

#include <QRandomGenerator>
#include <QTest>

#include <limits>

using namespace vk;

namespace {

QString enc(const QString &plain)
{
    return velkarn().encodestr(plain);
}

QString record(const QString &name, const QString &location, const QString &password, const QString &mark = ".+.")
{
    return "01" + name + "^^" + enc(location) + "^^" + enc(password) + "^^xyz" + mark;
}

QString bookAnswerOf(int count)
{
    QString text = QStringLiteral("*START*");
    for (int i = 0; i < count; ++i)
        text += record(QStringLiteral("Book %1").arg(i), QStringLiteral("https://h/b%1.pdf").arg(i), "pw");
    return text + "*END*";
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
    void largeAnswers();
    void serverAnswer_data();
    void serverAnswer();
    void mutatedAnswersKeepInvariants();
    void shownText_data();
    void shownText();
};

void PortalAnswersTest::loginAnswer_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("fields"); // useronline, company, category

    const QString pw = enc("s3cret");
    QTest::newRow("accepted") << "NYYAcme^^Sales^^" + pw << "s3cret" << true << QStringList{"N", "Acme", "Sales"};
    QTest::newRow("already online") << "YYYAcme^^Sales^^" + pw << "s3cret" << false << QStringList{"Y", "Acme", "Sales"};
    QTest::newRow("account inactive") << "NNYA^^S^^" + pw << "s3cret" << false << QStringList{"N", "A", "S"};
    QTest::newRow("third flag off") << "NYNA^^S^^" + pw << "s3cret" << false << QStringList{"N", "A", "S"};
    QTest::newRow("flags in lower case") << "nyyA^^S^^" + pw << "s3cret" << false << QStringList{"n", "A", "S"};
    QTest::newRow("password case differs") << "NYYA^^S^^" + pw << "S3CRET" << false << QStringList{"N", "A", "S"};
    QTest::newRow("empty company") << "NYY^^Sales^^" + pw << "s3cret" << true << QStringList{"N", "", "Sales"};
    // The second search starts inside the first separator: "^^^^" is two overlapping ones.
    QTest::newRow("adjacent separators") << "NYYA^^^^" + pw << "s3cret" << false << QStringList{"N", "A", ""};
    QTest::newRow("one separator") << "NYYAcme^^Sales" << "s3cret" << false << QStringList{"N", "Acme", ""};
    QTest::newRow("error page") << "<html>502 Bad Gateway</html>" << "s3cret" << false << QStringList{"<", "", ""};
}

void PortalAnswersTest::loginAnswer()
{
    QFETCH(QString, text);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QFETCH(QStringList, fields);
    velkarn v;
    const LoginAnswer answer = parseLoginAnswer(v, text, typed);
    QCOMPARE(answer.accepted, accepted);
    QCOMPARE((QStringList{answer.useronline, answer.company, answer.category}), fields);
}

// Expected books are "name|location|password"; "name|*" for a trailing entry
// whose location and password mean nothing.
void PortalAnswersTest::bookAnswer_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("books");
    const QString a = "https://portal/books/a.pdf", b = "file:///srv/b.pdf";
    const QString start = "*START*", alpha = record("Alpha", a, "p");
    QTest::newRow("two records") << start + record("Alpha", a, "none") + record("Beta", b, "kilo52") + "*END*"
                                 << QStringList{"Alpha|" + a + "|", "Beta|" + b + "|kilo52"};
    QTest::newRow("bad record mark ends the list")
        << start + record("Alpha", a, "p", ".-.") + record("Beta", b, "q") + "*END*" << QStringList{"Alpha|" + a + "|p"};
    QTest::newRow("no end mark") << start + alpha << QStringList{"Alpha|" + a + "|p", "|*"};
    QTest::newRow("ends inside the record mark") << (start + alpha).chopped(1) << QStringList{"Alpha|" + a + "|p"};
    QTest::newRow("start mark only") << start << QStringList{"||"};
    QTest::newRow("short location") << start + "01Alpha^^00^^" + enc("p") + "^^xyz.+.*END*"
                                    << QStringList{"Alpha||p"};
    QTest::newRow("short start mark") << "*START" + alpha + "*END*" << QStringList{};
    // Without separators the searches restart at the beginning of the text, where
    // the first record's marks would be read again and again.
    QTest::newRow("searches restart") << start + "01A^^B^^C^^.+..+." << QStringList{"A||", "|*"};
}

void PortalAnswersTest::bookAnswer()
{
    QFETCH(QString, text);
    QFETCH(QStringList, books);
    velkarn v;
    const BookList list = parseBookAnswer(v, text);
    QCOMPARE(list.locations.size(), list.names.size());
    QCOMPARE(list.passwords.size(), list.names.size());
    QStringList got;
    for (qsizetype i = 0; i < list.names.size(); ++i)
        got.append(list.names[i] + '|'
                   + (books.value(i).endsWith("|*") ? "*" : list.locations[i] + '|' + list.passwords[i]));
    QCOMPARE(got, books);
}

void PortalAnswersTest::largeAnswers()
{
    velkarn v;
    const BookList books = parseBookAnswer(v, bookAnswerOf(10000));
    QCOMPARE(books.names.size(), 10000);
    QCOMPARE(books.locations.last(), QStringLiteral("https://h/b9999.pdf"));
}

void PortalAnswersTest::serverAnswer_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("value");
    QTest::newRow("white space, line break") << QByteArray(" \t+1\r\n") << 1;
    QTest::newRow("digits then text") << QByteArray("12abc") << 12;
    QTest::newRow("negative") << QByteArray("-1") << -1;
    QTest::newRow("text") << QByteArray("OK") << 0;
    QTest::newRow("sign only") << QByteArray("-") << 0;
    QTest::newRow("not UTF-8") << QByteArray("1\xff") << 0;
    QTest::newRow("too large") << QByteArray("99999999999") << std::numeric_limits<int>::max();
}

void PortalAnswersTest::serverAnswer()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, value);
    QCOMPARE(leadingIntValue(answerText(bytes)), value);
}

void PortalAnswersTest::mutatedAnswersKeepInvariants()
{
    const QString answers[] = {"NYYAcme^^Sales^^" + enc("s3cret"), bookAnswerOf(4)};
    const QString alphabet = QStringLiteral("^^.+.*END*START*\x00\xff\u00e9\xd800");
    QRandomGenerator random(20240501);
    velkarn v;
    for (int round = 0; round < 4000; ++round) {
        QString text = answers[round % 2];
        for (int e = 1 + random.bounded(8); e > 0 && !text.isEmpty(); --e) {
            const int at = random.bounded(int(text.size()));
            switch (random.bounded(4)) {
            case 0: text.remove(at, 1 + random.bounded(6)); break;
            case 1: text.insert(at, alphabet.mid(random.bounded(int(alphabet.size())), 1 + random.bounded(3))); break;
            case 2: text[at] = alphabet.at(random.bounded(int(alphabet.size()))); break;
            default: text.truncate(at); break;
            }
        }
        const LoginAnswer login = parseLoginAnswer(v, text, "s3cret");
        QVERIFY(!login.accepted || (login.useronline == "N" && login.useractive == "Y" && login.resactive == "Y"));
        const BookList list = parseBookAnswer(v, text);
        QCOMPARE(list.locations.size(), list.names.size());
        QCOMPARE(list.passwords.size(), list.names.size());
    }
}

void PortalAnswersTest::shownText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    const QString ellipsis(QChar(0x2026));
    const QString pair = QStringLiteral("\U0001F4D6");
    QTest::newRow("at the limit") << QString(kMaxShownChars, u'a') << QString(kMaxShownChars, u'a');
    QTest::newRow("one over") << QString(kMaxShownChars + 1, u'a') << QString(kMaxShownChars - 1, u'a') + ellipsis;
    // The cut would fall between the two halves of one character.
    QTest::newRow("surrogate pair at the cut") << QString(kMaxShownChars - 2, u'a') + pair + "bb"
                                               << QString(kMaxShownChars - 2, u'a') + ellipsis;
    QTest::newRow("surrogate pair before the cut") << QString(kMaxShownChars - 3, u'a') + pair + "bb"
                                                   << QString(kMaxShownChars - 3, u'a') + pair + ellipsis;
}

void PortalAnswersTest::shownText()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(::shownText(text), shown);
}

QTEST_GUILESS_MAIN(PortalAnswersTest)
#include "tst_portalanswers.moc"
