#include "SearchStepping.h"
#include "ZoomChoices.h"

#include <QTest>

class ViewerLogicTest : public QObject
{
    Q_OBJECT
private slots:
    void stepping_data();
    void stepping();
    void zoomSteps_data();
    void zoomSteps();
};

// A press is '>' or '<'; after each, the selected match and the buttons' states
// ('1' enabled, '0' disabled), starting from a fresh search (match 0, both enabled).
void ViewerLogicTest::stepping_data()
{
    QTest::addColumn<int>("matches");
    QTest::addColumn<QString>("presses");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QStringList>("buttons"); // "<>" states after each press
    QTest::newRow("three matches") << 3 << ">>><<<>" << QList<int>{1, 2, 2, 1, 0, 0, 1}
                                   << QStringList{"11", "11", "10", "11", "11", "01", "11"};
    QTest::newRow("one match") << 1 << "><><" << QList<int>{0, 0, 0, 0}
                               << QStringList{"10", "00", "00", "00"};
    QTest::newRow("no matches") << 0 << "><" << QList<int>{-1, -1} << QStringList{"00", "00"};
}

void ViewerLogicTest::stepping()
{
    QFETCH(int, matches);
    QFETCH(QString, presses);
    QFETCH(QList<int>, selected);
    QFETCH(QStringList, buttons);
    qint32 findcount = 0;
    bool prev = true;
    bool next = true;
    for (int i = 0; i < presses.size(); ++i) {
        const SearchStep step = presses.at(i) == u'>' ? stepForward(matches, findcount)
                                                      : stepBack(matches, findcount);
        findcount = step.findcount;
        prev = step.prevEnabled.value_or(prev);
        next = step.nextEnabled.value_or(next);
        QCOMPARE(step.selectMatch ? findcount : -1, selected.at(i));
        QCOMPARE(QString(QChar(prev ? '1' : '0')) + QChar(next ? '1' : '0'), buttons.at(i));
    }
}

void ViewerLogicTest::zoomSteps_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("expected");
    QTest::newRow("in") << 2 << 1 << 3;
    QTest::newRow("out") << 2 << -1 << 1;
    QTest::newRow("at the top") << 6 << 1 << 6;
    QTest::newRow("at the bottom") << 0 << -1 << 0;
    QTest::newRow("nothing selected") << -1 << 1 << 3;
}

void ViewerLogicTest::zoomSteps()
{
    QFETCH(int, current);
    QFETCH(int, step);
    QFETCH(int, expected);
    QCOMPARE(steppedZoomIndex(current, step, 7), expected);
}

QTEST_GUILESS_MAIN(ViewerLogicTest)
#include "tst_viewerlogic.moc"
