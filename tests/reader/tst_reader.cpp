#include "BookLocation.h"
#include "BookOpening.h"
#include "PageNumbers.h"
#include "PdfDocument.h"
#include "PdfFixtures.h"
#include "PendingSearch.h"
#include "ReadingHistory.h"
#include "UrlSession.h"
#include "WheelSteps.h"

#include <QtTest>

using namespace vk;
using namespace PdfFixtures;

namespace {
const int longWait = 60000;

PdfPlace at(int page, double y = 0)
{
    return {page, QPointF(0, y)};
}
}

// Opening books, waiting searches and reading places, without a window.
class TestReader : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    UrlSession m_session;

    QUrl fileUrl(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        writeFile(path, bytes);
        return QUrl::fromLocalFile(path);
    }

private slots:
    // A refusal names the scheme, cut short so that a hostile one cannot fill the log.
    void bookLocations()
    {
        // location, http and file allowed, the scheme refused (empty: fetched)
        const QList<std::tuple<QString, bool, QString>> cases{
            {"HTTPS://h/b.pdf", false, ""},
            {"http://h/b.pdf", false, "http"},
            {"file:///b.pdf", false, "file"},
            {"http://h/b.pdf", true, ""},
            {"ftp://h/b.pdf", true, "ftp"}, // even when allowed
            {QString(100, u'x') + ":b", true, QString(32, u'x')}};
        for (const auto &[location, allowInsecure, refusedScheme] : cases) {
            const QString refusal = bookLocationRefusal(QUrl(location), allowInsecure);
            QCOMPARE(refusal.isEmpty(), refusedScheme.isEmpty());
            if (!refusedScheme.isEmpty())
                QVERIFY2(refusal.contains("scheme \"" + refusedScheme + '"'), qPrintable(refusal));
        }
    }

    // What a replaced or discarded opening still delivers never reaches the view.
    void latestOpeningWins()
    {
        const QUrl first = fileUrl(QStringLiteral("first.pdf"), makePdf({QStringLiteral("first")}));
        const QUrl second = fileUrl(QStringLiteral("second.pdf"), makePdf(QStringList(3, "second")));
        for (bool discardFirst : {false, true}) {
            BookOpening opening(m_session);
            QList<std::shared_ptr<PdfDocument>> opened;
            connect(&opening, &BookOpening::opened, this,
                    [&](std::shared_ptr<PdfDocument> document) { opened.append(document); });
            opening.open(first, QString(), true);
            if (discardFirst) {
                opening.discard();
                QTRY_VERIFY_WITH_TIMEOUT(!opening.isBusy(), longWait);
            }
            opening.open(second, QString(), true);
            QVERIFY(opening.isBusy());
            QTRY_VERIFY_WITH_TIMEOUT(!opened.isEmpty() && !opening.isBusy(), longWait);
            QCOMPARE(opened.size(), 1);
            QCOMPARE(opened.first()->pageCount(), 3);
        }
    }

    // A search kept until the text index is complete is replaced by a newer one or a drop.
    void pendingSearch()
    {
        QObject context;
        PendingSearch pending;
        auto document = std::make_shared<PdfDocument>();
        QVERIFY(document->load(makePdf(QStringList(300, QStringLiteral("text")))));
        int older = 0;
        int newer = 0;
        if (pending.run(&context, document, [&] { ++older; }, {}))
            QSKIP("the text was indexed before the search was made");
        pending.run(&context, document, [&] { ++newer; }, {});
        QTRY_COMPARE_WITH_TIMEOUT(newer, 1, longWait);
        QCOMPARE(older, 0);

        auto another = std::make_shared<PdfDocument>();
        QVERIFY(another->load(makePdf(QStringList(300, QStringLiteral("text")))));
        QSignalSpy anotherIndexed(another.get(), &PdfDocument::textIndexed);
        int dropped = 0;
        const bool ranNow = pending.run(&context, another, [&] { ++dropped; }, {});
        if (!ranNow)
            QVERIFY(pending.drop());
        QTRY_VERIFY_WITH_TIMEOUT(!anotherIndexed.isEmpty(), longWait);
        QCOMPARE(dropped, ranNow ? 1 : 0);
    }

    void typedPageNumber()
    {
        // typed, pages in the book, page index (-1: refused)
        const QList<std::tuple<QString, int, int>> cases{{"1611", 1611, 1610},
                                                         {" 700 ", 1611, 699},
                                                         {"0", 10, -1},
                                                         {"1612", 1611, -1},
                                                         {"2.5", 10, -1},
                                                         {"99999999999999999999", 10, -1},
                                                         {"\u0663", 10, -1}, // an Arabic-Indic 3
                                                         {"1", 0, -1}};       // no book
        for (const auto &[typed, count, index] : cases)
            QCOMPARE(pageIndexFromInput(typed, count).value_or(-1), index);
    }

    // As in a browser: a new jump drops the way forward; a jump going nowhere is not kept.
    void historyRetracesJumps()
    {
        ReadingHistory history;
        QVERIFY(!history.back(at(0)));
        history.recordJump(at(0), at(699));   // go to page 700
        history.recordJump(at(699), at(699)); // a match already in view
        history.recordJump(at(699, 300), at(41, 120)); // a chapter
        QCOMPARE(history.back(at(41, 120)), at(699, 300));
        QCOMPARE(history.back(at(699, 300)), at(0));
        QVERIFY(!history.back(at(0)));
        QCOMPARE(history.forward(at(0)), at(699, 300));
        history.recordJump(at(699, 300), at(5)); // a search step
        QVERIFY(!history.forward(at(5)));
        QCOMPARE(history.back(at(5)), at(699, 300));
        QCOMPARE(history.back(at(699, 300)), at(0));
    }

    // A touchpad's small deltas add up; turning back forgets what the other way gathered.
    void wheelSteps()
    {
        WheelSteps wheel;
        QList<int> steps;
        for (int delta : {120, -240, 50, 50, 30, 100, -100, -20})
            steps.append(wheel.take(delta));
        QCOMPARE(steps, (QList<int>{1, -2, 0, 0, 1, 0, 0, -1}));
    }
};

QTEST_MAIN(TestReader)
#include "tst_reader.moc"
