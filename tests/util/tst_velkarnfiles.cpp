#include "velkarn.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Tree under test:
//   a.pdf  b.txt  .hidden.pdf  .hdir/x.pdf  s/c.pdf  s/deep/My Book.PDF
class TestVelkarnFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cursorBeforeAnyFetch();
    void levelByLevel();
    void deepEnumeration();
    void cursorWalk();
    void patternsMatchLowerCasedNames();
    void directTreeCallDoesNotOverrun();

private:
    QString entry(const QString &relative) const;

    QTemporaryDir _root;
};

QString TestVelkarnFiles::entry(const QString &relative) const
{
    return QUrl::fromLocalFile(_root.filePath(relative)).toString(QUrl::FullyEncoded).mid(7);
}

void TestVelkarnFiles::initTestCase()
{
    QVERIFY(_root.isValid());
    QDir dir(_root.path());
    QVERIFY(dir.mkpath("s/deep") && dir.mkpath(".hdir"));
    for (const char *name : {"a.pdf", "b.txt", ".hidden.pdf", ".hdir/x.pdf", "s/c.pdf", "s/deep/My Book.PDF"}) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

void TestVelkarnFiles::cursorBeforeAnyFetch()
{
    velkarn v;
    QCOMPARE(v.GetFirstFile(""), QString(""));
    QCOMPARE(v.GetNextFile(""), QString(""));
    QCOMPARE(v.GetPrevFile(), QString(""));
    QCOMPARE(v.GetLastFile(), QString(""));
}

void TestVelkarnFiles::levelByLevel()
{
    velkarn v;
    v.fetchfilesman(QUrl::fromLocalFile(_root.path()));
    QCOMPARE(v.dirmax, 2);
    QCOMPARE(v.dircount, 2);
    QCOMPARE(v.filemax, 4);
    QCOMPARE(v.filelistmax(), 4);
    const QStringList list = v.filelist();
    QCOMPARE(QSet<QString>(list.begin(), list.begin() + 2), QSet<QString>({entry("a.pdf"), entry("b.txt")}));
    QCOMPARE(list.at(2), entry("s/c.pdf"));
    QCOMPARE(list.at(3), entry("s/deep/My Book.PDF"));
    QVERIFY(list.at(3).endsWith("/s/deep/My%20Book.PDF"));
}

void TestVelkarnFiles::deepEnumeration()
{
    velkarn v;
    v.fetchfiles(QUrl::fromLocalFile(_root.path()));
    QCOMPARE(v.dirmax, 2);
    QCOMPARE(v.filemax, 4);
    const QStringList list = v.filelist();
    QCOMPARE(QSet<QString>(list.begin(), list.end()),
             QSet<QString>({entry("a.pdf"), entry("b.txt"), entry("s/c.pdf"), entry("s/deep/My Book.PDF")}));
    v.fetchfiles(QUrl::fromLocalFile(_root.filePath("missing")));
    QCOMPARE(v.filemax, 0);
    QVERIFY(v.filelist().isEmpty());
}

void TestVelkarnFiles::cursorWalk()
{
    velkarn v;
    v.fetchfilesman(QUrl::fromLocalFile(_root.path()));
    const QStringList list = v.filelist();
    QCOMPARE(v.GetFirstFile(""), list.at(0));
    QCOMPARE(v.GetNextFile(""), list.at(1));
    QCOMPARE(v.GetPrevFile(), list.at(0));
    QCOMPARE(v.GetPrevFile(), QString(""));
    QCOMPARE(v.filecount, 0);
    QCOMPARE(v.GetLastFile(), list.at(3));
    QCOMPARE(v.GetNextFile(""), QString(""));
    QCOMPARE(v.filecount, 4);
    QCOMPARE(v.GetNextFile(""), QString(""));
    QCOMPARE(v.GetPrevFile(), list.at(3));
    QCOMPARE(v.GetPrevFile(), list.at(2));
}

void TestVelkarnFiles::patternsMatchLowerCasedNames()
{
    velkarn v;
    v.fetchfilesman(QUrl::fromLocalFile(_root.path()));
    QCOMPARE(v.GetFirstFile("book"), entry("s/deep/My Book.PDF"));
    QCOMPARE(v.GetNextFile("book"), QString(""));
    QCOMPARE(v.GetFirstFile("PDF"), QString(""));
    QCOMPARE(v.filecount, 3);
    QCOMPARE(v.GetFirstFile("c.p"), entry("s/c.pdf"));
    QCOMPARE(v.GetNextFile("pdf"), entry("s/deep/My Book.PDF"));
    // "deep" is in the directory, not in the name.
    QCOMPARE(v.GetFirstFile("deep"), QString(""));
}

void TestVelkarnFiles::directTreeCallDoesNotOverrun()
{
    velkarn v;
    v.fetchfilesman(QUrl::fromLocalFile(_root.filePath("s")));
    QCOMPARE(v.filemax, 2);
    v.filetree(QUrl::fromLocalFile(_root.path()));
    QCOMPARE(v.filemax, 6);
    QCOMPARE(v.filelist().size(), 2);
    QCOMPARE(v.GetLastFile(), QString(""));
    QCOMPARE(v.GetFirstFile("zzz"), QString(""));
}

QTEST_APPLESS_MAIN(TestVelkarnFiles)
#include "tst_velkarnfiles.moc"
