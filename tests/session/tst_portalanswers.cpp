#include "AnswerText.h"
#include "BookAnswer.h"
#include "LoginAnswer.h"
#include "ShownText.h"
#include "velkarn.h"

#include <QTest>

#include <limits>

using namespace vk;

namespace {

QString enc(const QString &plain)
{
    return velkarn().encodestr(plain);
}

QString record(const QString &name, const QString &location, const QString &password,
               const QString &mark = ".+.")
{
    return "01" + name + "^^" + enc(location) + "^^" + enc(password) + "^^xyz" + mark;
}

} // namespace

// What the viewer makes of the portal's answers, and how much of a text it shows.
class PortalAnswersTest : public QObject
{
    Q_OBJECT

private slots:
    void loginAnswer()
    {
        const QString pw = enc("s3cret");
        const QStringList nas{"N", "A", "S"};
        // answer, password typed, accepted, useronline + company + category
        const QList<std::tuple<QString, QString, bool, QStringList>> rows{
            {"NYYAc^^Sa^^" + pw, "s3cret", true, {"N", "Ac", "Sa"}},
            {"YYYA^^S^^" + pw, "s3cret", false, {"Y", "A", "S"}}, // already online
            {"NNYA^^S^^" + pw, "s3cret", false, nas},             // account inactive
            {"NYNA^^S^^" + pw, "s3cret", false, nas},             // third flag off
            {"nyyA^^S^^" + pw, "s3cret", false, {"n", "A", "S"}}, // flags in lower case
            {"NYYA^^S^^" + pw, "S3CRET", false, nas},             // password case differs
            {"NYY^^S^^" + pw, "s3cret", true, {"N", "", "S"}},    // empty company
            // The second search starts inside the first separator: "^^^^" is two overlapping ones.
            {"NYYA^^^^" + pw, "s3cret", false, {"N", "A", ""}},
            {"NYYA^^S", "s3cret", false, {"N", "A", ""}},
            {"<html>502 Bad Gateway</html>", "s3cret", false, {"<", "", ""}}};
        for (const auto &[text, typed, accepted, fields] : rows) {
            velkarn v;
            const LoginAnswer answer = parseLoginAnswer(v, text, typed);
            QCOMPARE(answer.accepted, accepted);
            QCOMPARE((QStringList{answer.useronline, answer.company, answer.category}), fields);
        }
    }

    // Books read "name|location|password"; "name|*" where a trailing entry's other fields mean nothing.
    void bookAnswer_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("books");
        const QString a = "https://portal/books/a.pdf";
        const QString b = "file:///srv/b.pdf";
        const QString start = "*START*";
        const QString alpha = record("Alpha", a, "p");
        QTest::newRow("two records") << start + record("Alpha", a, "none") + record("Beta", b, "k") + "*END*"
                                     << QStringList{"Alpha|" + a + "|", "Beta|" + b + "|k"};
        QTest::newRow("bad record mark ends the list")
            << start + record("Alpha", a, "p", ".-.") + record("Beta", b, "q") + "*END*"
            << QStringList{"Alpha|" + a + "|p"};
        QTest::newRow("no end mark") << start + alpha << QStringList{"Alpha|" + a + "|p", "|*"};
        QTest::newRow("ends inside the record mark") << (start + alpha).chopped(1)
                                                     << QStringList{"Alpha|" + a + "|p"};
        QTest::newRow("start mark only") << start << QStringList{"||"};
        QTest::newRow("short location") << start + "01Alpha^^00^^" + enc("p") + "^^xyz.+.*END*"
                                        << QStringList{"Alpha||p"};
        QTest::newRow("short start mark") << "*START" + alpha + "*END*" << QStringList{};
        // Without separators the searches restart at the beginning, where marks could be read again.
        QTest::newRow("searches restart") << start + "01A^^B^^C^^.+..+." << QStringList{"A||", "|*"};
    }
    void bookAnswer()
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

    // The leading number of an answer; none in one that is not UTF-8.
    void serverAnswer()
    {
        const QList<QPair<QByteArray, int>> cases{{" \t+1\r\n", 1}, {"12abc", 12}, {"-1", -1}, {"-", 0},
                                                  {"1\xff", 0}, {"99999999999", std::numeric_limits<int>::max()}};
        for (const auto &[bytes, value] : cases)
            QCOMPARE(leadingIntValue(answerText(bytes)), value);
    }

    // A cut that would fall between the two halves of one character takes both.
    void shownText()
    {
        const QString ellipsis(QChar(0x2026));
        const QString pair = QStringLiteral("\U0001F4D6");
        const QString a(kMaxShownChars, u'a');
        const QList<QPair<QString, QString>> cases{{a, a},
                                                   {a + 'a', a.chopped(1) + ellipsis},
                                                   {a.chopped(2) + pair + "bb", a.chopped(2) + ellipsis},
                                                   {a.chopped(3) + pair + "bb", a.chopped(3) + pair + ellipsis}};
        for (const auto &[text, shown] : cases)
            QCOMPARE(::shownText(text), shown);
    }
};

QTEST_GUILESS_MAIN(PortalAnswersTest)
#include "tst_portalanswers.moc"
