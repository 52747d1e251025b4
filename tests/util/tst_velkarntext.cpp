#include "velkarn.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestVelkarnText : public QObject
{
    Q_OBJECT

private slots:
    // Out-of-range arguments give empty or clipped results, never a read outside the text.
    void cutsAndSearches()
    {
        QCOMPARE(velkarn::substr("ABCDEF", 2, 3), QString("CDE"));
        QCOMPARE(velkarn::substr("ABCDEF", -1, 2), QString(""));
        QCOMPARE(velkarn::substr("ABCDEF", 2, -4), QString(""));
        QCOMPARE(velkarn::substr("ABCDEF", 4, 10), QString("EF"));
        QCOMPARE(velkarn::substr("ABCDEF", 1, std::numeric_limits<qint64>::max()), QString("BCDEF"));
        QCOMPARE(velkarn::Findstring("a^^b^^c", "^^"), 1);
        QCOMPARE(velkarn::Findstring("abc", ""), -1);
        QCOMPARE(velkarn::Findstringfrom("a^^b^^c", "^^", 2), 4);
        QCOMPARE(velkarn::Findstringfrom("a^^b^^c", "^^", -1), -1);
        QCOMPARE(velkarn::Findascii("ABC", 66), 1);
    }

    // Outside 0-9A-F, hexdec counts a digit as 0; hexdec8bit reads two digits by their distance from '0' or 'A'.
    void numbersAndCharacters()
    {
        for (const auto &[digits, value, value8bit] : {std::tuple{"1G", 16, 32}, {"G0", 0, 256}, {"/0", 0, -16},
                                                        {"", 0, 0}, {"0010", 16, 0}}) {
            QCOMPARE(velkarn::hexdec(digits), qint64(value));
            QCOMPARE(velkarn::hexdec8bit(digits), qint64(value8bit));
        }
        QCOMPARE(velkarn::dechex(59), QString("3B"));
        QCOMPARE(velkarn::dechex(-1), QString("FFFFFFFFFFFFFFFF"));
        for (const qint64 v : {qint64(0), qint64(4096), std::numeric_limits<qint64>::max(), qint64(-42)})
            QCOMPARE(velkarn::hexdec(velkarn::dechex(v)), v);
        for (int code = 0; code < 256; ++code)
            QCOMPARE(velkarn::asc(velkarn::chrint(code + 256)), qint64(code));
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
    }
};

QTEST_APPLESS_MAIN(TestVelkarnText)
#include "tst_velkarntext.moc"
