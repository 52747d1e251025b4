#include "velkarn.h"

#include <QTest>

class TestVelkarnText : public QObject
{
    Q_OBJECT

private slots:
    void substrCuts_data();
    void substrCuts();
    void searches_data();
    void searches();
    void hexdecReadsDigits_data();
    void hexdecReadsDigits();
    void hexRoundTrip();
    void characters();
};

void TestVelkarnText::substrCuts_data()
{
    QTest::addColumn<QString>("s");
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<QString>("expected");
    QTest::newRow("inside") << "ABCDEF" << 2LL << 3LL << "CDE";
    QTest::newRow("at end") << "ABCDEF" << 6LL << 1LL << "";
    QTest::newRow("negative start") << "ABCDEF" << -1LL << 2LL << "";
    QTest::newRow("zero length") << "ABCDEF" << 0LL << 0LL << "";
    QTest::newRow("negative length") << "ABCDEF" << 2LL << -4LL << "";
    QTest::newRow("runs past end") << "ABCDEF" << 4LL << 10LL << "EF";
    QTest::newRow("huge length") << "ABCDEF" << 1LL << std::numeric_limits<qint64>::max() << "BCDEF";
    QTest::newRow("empty text") << "" << 0LL << 1LL << "";
}

void TestVelkarnText::substrCuts()
{
    QFETCH(QString, s);
    QFETCH(qint64, start);
    QFETCH(qint64, length);
    QFETCH(QString, expected);
    QCOMPARE(velkarn::substr(s, start, length), expected);
}

void TestVelkarnText::searches_data()
{
    QTest::addColumn<QString>("s");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("expected");
    QTest::newRow("first") << "a^^b^^c" << "^^" << 0 << 1;
    QTest::newRow("case sensitive") << "abc" << "B" << 0 << -1;
    QTest::newRow("empty pattern") << "abc" << "" << 0 << -1;
    QTest::newRow("from 2") << "a^^b^^c" << "^^" << 2 << 4;
    QTest::newRow("from 1") << "a^^b^^c" << "^^" << 1 << 1;
    QTest::newRow("from 5") << "a^^b^^c" << "^^" << 5 << -1;
    QTest::newRow("from end") << "a^^b^^c" << "^^" << 7 << -1;
    QTest::newRow("from negative") << "a^^b^^c" << "^^" << -1 << -1;
}

void TestVelkarnText::searches()
{
    QFETCH(QString, s);
    QFETCH(QString, pattern);
    QFETCH(int, from);
    QFETCH(int, expected);
    QCOMPARE(velkarn::Findstringfrom(s, pattern, from), expected);
    if (from == 0)
        QCOMPARE(velkarn::Findstring(s, pattern), expected);
}

void TestVelkarnText::hexdecReadsDigits_data()
{
    QTest::addColumn<QString>("digits");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<qint64>("value8bit");
    QTest::newRow("lower") << "ff" << 255LL << 255LL;
    QTest::newRow("upper") << "FF" << 255LL << 255LL;
    QTest::newRow("7f") << "7f" << 127LL << 127LL;
    QTest::newRow("bad digit keeps place") << "1G" << 16LL << 32LL;
    QTest::newRow("G0") << "G0" << 0LL << 256LL;
    QTest::newRow("slash") << "/0" << 0LL << -16LL;
    QTest::newRow("one digit") << "A" << 10LL << 160LL;
    QTest::newRow("empty") << "" << 0LL << 0LL;
    QTest::newRow("leading zeros") << "0010" << 16LL << 0LL;
    QTest::newRow("eight digits") << "FFFFFFFF" << 0xFFFFFFFFLL << 255LL;
}

void TestVelkarnText::hexdecReadsDigits()
{
    QFETCH(QString, digits);
    QFETCH(qint64, value);
    QFETCH(qint64, value8bit);
    QCOMPARE(velkarn::hexdec(digits), value);
    QCOMPARE(velkarn::hexdec8bit(digits), value8bit);
}

void TestVelkarnText::hexRoundTrip()
{
    QCOMPARE(velkarn::dechex(0), QString("0"));
    QCOMPARE(velkarn::dechex(59), QString("3B"));
    QCOMPARE(velkarn::dechex(4096), QString("1000"));
    QCOMPARE(velkarn::dechex(-1), QString("FFFFFFFFFFFFFFFF"));
    for (const qint64 v : {qint64(0), qint64(1), qint64(0x7FFFFFFFFFFFFFFF), qint64(-1), qint64(-42)})
        QCOMPARE(velkarn::hexdec(velkarn::dechex(v)), v);
}

void TestVelkarnText::characters()
{
    QCOMPARE(velkarn::str(-42), QString("-42"));
    QCOMPARE(velkarn::AddStrB2A("2", "A"), QString("2A"));
    QCOMPARE(velkarn::Findascii("ABC", 66), 1);
    QCOMPARE(velkarn::Findascii("ABC", 68), -1);
    for (int code = 0; code < 256; ++code) {
        const QString c = velkarn::chrint(code + 256);
        QCOMPARE(c.size(), 1);
        QCOMPARE(velkarn::asc(c), qint64(code));
    }
    QCOMPARE(velkarn::asc(""), 0LL);
    QCOMPARE(velkarn::ascint(QString(QChar(0x20AC))), 0x20AC);
}

QTEST_APPLESS_MAIN(TestVelkarnText)
#include "tst_velkarntext.moc"
