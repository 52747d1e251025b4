#include "velkarn.h"

#include <QTest>

class TestVelkarnText : public QObject
{
    Q_OBJECT

private slots:
    void substrCuts_data()
    {
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("length");
        QTest::addColumn<QString>("expected");
        QTest::newRow("inside") << 2LL << 3LL << "CDE";
        QTest::newRow("at end") << 6LL << 1LL << "";
        QTest::newRow("negative start") << -1LL << 2LL << "";
        QTest::newRow("negative length") << 2LL << -4LL << "";
        QTest::newRow("runs past end") << 4LL << 10LL << "EF";
        QTest::newRow("huge length") << 1LL << std::numeric_limits<qint64>::max() << "BCDEF";
    }
    void substrCuts()
    {
        QFETCH(qint64, start);
        QFETCH(qint64, length);
        QFETCH(QString, expected);
        QCOMPARE(velkarn::substr("ABCDEF", start, length), expected);
    }

    void searches_data()
    {
        QTest::addColumn<QString>("s");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("expected");
        QTest::newRow("first") << "a^^b^^c" << "^^" << 0 << 1;
        QTest::newRow("empty pattern") << "abc" << "" << 0 << -1;
        QTest::newRow("from 2") << "a^^b^^c" << "^^" << 2 << 4;
        QTest::newRow("from 5") << "a^^b^^c" << "^^" << 5 << -1;
        QTest::newRow("from negative") << "a^^b^^c" << "^^" << -1 << -1;
    }
    void searches()
    {
        QFETCH(QString, s);
        QFETCH(QString, pattern);
        QFETCH(int, from);
        QFETCH(int, expected);
        QCOMPARE(velkarn::Findstringfrom(s, pattern, from), expected);
        if (from == 0)
            QCOMPARE(velkarn::Findstring(s, pattern), expected);
    }

    void hexDigits_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<qint64>("value8bit");
        QTest::newRow("bad digit keeps place") << "1G" << 16LL << 32LL;
        QTest::newRow("G0") << "G0" << 0LL << 256LL;
        QTest::newRow("slash") << "/0" << 0LL << -16LL;
        QTest::newRow("empty") << "" << 0LL << 0LL;
        QTest::newRow("leading zeros") << "0010" << 16LL << 0LL;
    }
    void hexDigits()
    {
        QFETCH(QString, digits);
        QFETCH(qint64, value);
        QFETCH(qint64, value8bit);
        QCOMPARE(velkarn::hexdec(digits), value);
        QCOMPARE(velkarn::hexdec8bit(digits), value8bit);
    }

    void numbersAndCharacters()
    {
        QCOMPARE(velkarn::dechex(59), QString("3B"));
        QCOMPARE(velkarn::dechex(-1), QString("FFFFFFFFFFFFFFFF"));
        for (const qint64 v : {qint64(0), qint64(4096), std::numeric_limits<qint64>::max(), qint64(-42)})
            QCOMPARE(velkarn::hexdec(velkarn::dechex(v)), v);
        QCOMPARE(velkarn::Findascii("ABC", 66), 1);
        for (int code = 0; code < 256; ++code)
            QCOMPARE(velkarn::asc(velkarn::chrint(code + 256)), qint64(code));
        QCOMPARE(velkarn::asc(""), 0LL);
    }
};

QTEST_APPLESS_MAIN(TestVelkarnText)
#include "tst_velkarntext.moc"
