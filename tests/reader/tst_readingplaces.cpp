#include "PageNumbers.h"
#include "ReadingHistory.h"
#include "WheelSteps.h"

#include <QtTest>

using namespace vk;

namespace {
PdfPlace at(int page, double y = 0)
{
    return {page, QPointF(0, y)};
}
}

// Page numbers as the reader types them, the way back and forward through
// jumps, and wheel steps.
class TestReadingPlaces : public QObject
{
    Q_OBJECT

private slots:
    void typedPageNumber_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("index"); // -1: refused
        QTest::newRow("first") << "1" << 1611 << 0;
        QTest::newRow("last") << "1611" << 1611 << 1610;
        QTest::newRow("spaces around") << " 700 " << 1611 << 699;
        QTest::newRow("zero") << "0" << 10 << -1;
        QTest::newRow("one past the end") << "1612" << 1611 << -1;
        QTest::newRow("negative") << "-3" << 10 << -1;
        QTest::newRow("fraction") << "2.5" << 10 << -1;
        QTest::newRow("letters") << "ten" << 10 << -1;
        QTest::newRow("overflowing digits") << "99999999999999999999" << 10 << -1;
        QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0663") << 10 << -1;
        QTest::newRow("no book") << "1" << 0 << -1;
    }
    void typedPageNumber()
    {
        QFETCH(QString, typed);
        QFETCH(int, count);
        QFETCH(int, index);
        QCOMPARE(pageIndexFromInput(typed, count).value_or(-1), index);
    }

    // Back and forward retrace mixed jumps as a browser does; a new jump drops
    // the way forward, and a jump that goes nowhere is not kept.
    void historyRetracesJumps()
    {
        ReadingHistory history;
        QVERIFY(!history.back(at(0)));
        history.recordJump(at(0), at(699));   // go to page 700
        history.recordJump(at(699), at(699)); // a match already in view
        history.recordJump(at(699, 300), at(41, 120)); // a chapter
        QCOMPARE(history.back(at(41, 120)), at(699, 300));
        QCOMPARE(history.back(at(699, 300)), at(0));
        QVERIFY(!history.canGoBack());
        QCOMPARE(history.forward(at(0)), at(699, 300));
        QVERIFY(history.canGoForward());
        history.recordJump(at(699, 300), at(5)); // a search step
        QVERIFY(!history.canGoForward());
        QCOMPARE(history.back(at(5)), at(699, 300));
        QCOMPARE(history.back(at(699, 300)), at(0));

        history.clear();
        for (int i = 0; i < ReadingHistory::kLimit + 10; ++i)
            history.recordJump(at(i), at(i + 1));
        int steps = 0;
        PdfPlace here = at(ReadingHistory::kLimit + 10);
        while (const auto previous = history.back(here)) {
            here = *previous;
            ++steps;
        }
        QCOMPARE(steps, ReadingHistory::kLimit);
        QCOMPARE(here, at(10));
    }

    // A notch is a step; a touchpad's small deltas add up; turning back
    // forgets what the other direction had gathered.
    void wheelSteps()
    {
        WheelSteps wheel;
        QCOMPARE(wheel.take(120), 1);
        QCOMPARE(wheel.take(-240), -2);
        QCOMPARE(wheel.take(50), 0);
        QCOMPARE(wheel.take(50), 0);
        QCOMPARE(wheel.take(30), 1);
        QCOMPARE(wheel.take(100), 0);
        QCOMPARE(wheel.take(-100), 0);
        QCOMPARE(wheel.take(-20), -1);
    }
};

QTEST_APPLESS_MAIN(TestReadingPlaces)
#include "tst_readingplaces.moc"
