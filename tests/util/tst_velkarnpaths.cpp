#include "velkarn.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestVelkarnPaths : public QObject
{
    Q_OBJECT

private slots:
    void splits_data();
    void splits();
    void renames_data();
    void renames();
    void readAndWrite();
};

void TestVelkarnPaths::splits_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("start");
    QTest::newRow("name") << "name" << "/Users/a/book.pdf" << "book.pdf" << 9;
    QTest::newRow("name without dir") << "name" << "book.pdf" << "book.pdf" << 0;
    QTest::newRow("name of dir") << "name" << "/Users/a/" << "" << 9;
    QTest::newRow("path") << "path" << "/Users/a/book.pdf" << "/Users/a/" << 9;
    QTest::newRow("path without dir") << "path" << "book.pdf" << "book.pdf" << 0;
    QTest::newRow("noext") << "noext" << "book.pdf" << "book" << 4;
    QTest::newRow("noext last dot") << "noext" << "a.b.c" << "a.b" << 3;
    QTest::newRow("noext dot only") << "noext" << ".pdf" << "" << 0;
    QTest::newRow("noext none") << "noext" << "book" << "book" << 0;
}

void TestVelkarnPaths::splits()
{
    QFETCH(QString, op);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QFETCH(int, start);
    velkarn v;
    v.setFilenamestart(-5);
    const QString result = op == "name" ? v.Findfilename(input) : op == "path" ? v.Findfilepath(input) : v.Findfilenamenoext(input);
    QCOMPARE(result, expected);
    QCOMPARE(v.filenamestart(), start);
}

void TestVelkarnPaths::renames_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("arg");
    QTest::addColumn<QString>("expected");
    QTest::newRow("name keeps all extensions") << "name" << "/d/old.tar.gz" << "new" << "/d/new.tar.gz";
    QTest::newRow("name bare") << "name" << "old" << "new" << "new";
    QTest::newRow("ext replaced") << "ext" << "/d/a.pdf" << "txt" << "/d/a.txt";
    QTest::newRow("ext added") << "ext" << "/d/a" << "txt" << "/d/a.txt";
    QTest::newRow("ext last only") << "ext" << "/d/a.b.c" << "txt" << "/d/a.b.txt";
    QTest::newRow("ext dotted dir") << "ext" << "/d.x/a" << "txt" << "/d.x/a.txt";
    QTest::newRow("ext empty") << "ext" << "" << "txt" << "";
    QTest::newRow("GetName") << "getname" << "a.b.c" << "" << "a";
    QTest::newRow("GetExt") << "getext" << "a.b.c" << "" << ".b.c";
    QTest::newRow("GetExt none") << "getext" << "abc" << "" << "";
}

void TestVelkarnPaths::renames()
{
    QFETCH(QString, op);
    QFETCH(QString, path);
    QFETCH(QString, arg);
    QFETCH(QString, expected);
    velkarn v;
    if (op == "name")
        QCOMPARE(v.Changefilenamename(path, arg), expected);
    else if (op == "ext")
        QCOMPARE(v.Changefilenameext(path, arg), expected);
    else
        QCOMPARE(op == "getname" ? velkarn::GetName(path) : velkarn::GetExt(path), expected);
}

void TestVelkarnPaths::readAndWrite()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("note.txt");
    const QString text = QString::fromUtf8("Grüße, ☃\nline two");
    QVERIFY(velkarn::writeFile(path, text));
    QCOMPARE(velkarn::readFile(path), text);
    QVERIFY(!velkarn::writeFile(path, ""));
    QCOMPARE(velkarn::readFile(path), text);
    QVERIFY(!velkarn::writeFile(dir.filePath("missing/dir/x.txt"), text));

    QFile latin1(dir.filePath("latin1.txt"));
    QVERIFY(latin1.open(QIODevice::WriteOnly));
    latin1.write("caf\xe9");
    latin1.close();
    QCOMPARE(velkarn::readFile(latin1.fileName()), QString(""));
    QCOMPARE(velkarn::readFile(dir.filePath("absent")), QString(""));
    QCOMPARE(velkarn::readFile(dir.path()), QString(""));
}

QTEST_APPLESS_MAIN(TestVelkarnPaths)
#include "tst_velkarnpaths.moc"
