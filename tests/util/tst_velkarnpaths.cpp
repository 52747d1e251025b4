#include "velkarn.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestVelkarnPaths : public QObject
{
    Q_OBJECT

private slots:
    void paths_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("start");
        QTest::newRow("name") << "name" << "/Users/a/book.pdf" << "book.pdf" << 9;
        QTest::newRow("name of dir") << "name" << "/Users/a/" << "" << 9;
        QTest::newRow("path") << "path" << "/Users/a/book.pdf" << "/Users/a/" << 9;
        QTest::newRow("noext last dot") << "noext" << "a.b.c" << "a.b" << 3;
        QTest::newRow("noext dot only") << "noext" << ".pdf" << "" << 0;
        QTest::newRow("rename keeps extensions") << "rename" << "/d/old.tar.gz" << "/d/new.tar.gz" << 3;
        QTest::newRow("rename bare") << "rename" << "old" << "new" << 0;
        QTest::newRow("ext last only") << "ext" << "/d/a.b.c" << "/d/a.b.txt" << 3;
        QTest::newRow("ext added, dotted dir") << "ext" << "/d.x/a" << "/d.x/a.txt" << 5;
        QTest::newRow("ext empty") << "ext" << "" << "" << -5;
        QTest::newRow("GetName first dot") << "getname" << "a.b.c" << "a" << -5;
        QTest::newRow("GetExt first dot") << "getext" << "a.b.c" << ".b.c" << -5;
        QTest::newRow("GetExt none") << "getext" << "abc" << "" << -5;
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

QTEST_APPLESS_MAIN(TestVelkarnPaths)
#include "tst_velkarnpaths.moc"
