#include "velkarn.h"

#include <QFile>
#include <QTemporaryDir>
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

    void paths_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("start");
        QTest::newRow("name") << "name" << "/Users/a/book.pdf" << "book.pdf" << 9;
        QTest::newRow("path") << "path" << "/Users/a/book.pdf" << "/Users/a/" << 9;
        QTest::newRow("noext last dot") << "noext" << "a.b.c" << "a.b" << 3;
        QTest::newRow("noext dot only") << "noext" << ".pdf" << "" << 0;
        QTest::newRow("rename keeps extensions") << "rename" << "/d/old.tar.gz" << "/d/new.tar.gz" << 3;
        QTest::newRow("rename bare") << "rename" << "old" << "new" << 0;
        QTest::newRow("ext last only") << "ext" << "/d/a.b.c" << "/d/a.b.txt" << 3;
        QTest::newRow("ext added, dotted dir") << "ext" << "/d.x/a" << "/d.x/a.txt" << 5;
        QTest::newRow("GetName first dot") << "getname" << "a.b.c" << "a" << -5;
        QTest::newRow("GetExt first dot") << "getext" << "a.b.c" << ".b.c" << -5;
    }
    void paths()
    {
        QFETCH(QString, op);
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QFETCH(int, start);
        velkarn v;
        v.setFilenamestart(-5);
        const QString result = op == "name" ? v.Findfilename(path)
            : op == "path"                  ? v.Findfilepath(path)
            : op == "noext"                 ? v.Findfilenamenoext(path)
            : op == "rename"                ? v.Changefilenamename(path, "new")
            : op == "getname"               ? velkarn::GetName(path)
            : op == "getext"                ? velkarn::GetExt(path)
                                            : v.Changefilenameext(path, "txt");
        QCOMPARE(result, expected);
        QCOMPARE(v.filenamestart(), start);
    }

    void readAndWrite()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("note.txt");
        const QString text = QString::fromUtf8("Grüße, ☃\nline two");
        QVERIFY(velkarn::writeFile(path, text));
        QCOMPARE(velkarn::readFile(path), text);
        QVERIFY(!velkarn::writeFile(path, ""));
        QCOMPARE(velkarn::readFile(path), text);
        QVERIFY(!velkarn::writeFile(dir.filePath("missing/x.txt"), text));

        QFile latin1(dir.filePath("latin1.txt"));
        QVERIFY(latin1.open(QIODevice::WriteOnly) && latin1.write("caf\xe9") == 4);
        latin1.close();
        QCOMPARE(velkarn::readFile(latin1.fileName()), QString(""));
        QCOMPARE(velkarn::readFile(dir.filePath("absent")), QString(""));
        QCOMPARE(velkarn::readFile(dir.path()), QString(""));
    }
};

QTEST_APPLESS_MAIN(TestVelkarnText)
#include "tst_velkarntext.moc"
