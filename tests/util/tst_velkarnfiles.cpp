#include "velkarn.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// a.pdf  b.txt  .hidden.pdf  .hdir/x.pdf  s/c.pdf  s/deep/My Book.PDF
class TestVelkarnFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir _root;

    QString entry(const QString &relative) const
    {
        return QUrl::fromLocalFile(_root.filePath(relative)).toString(QUrl::FullyEncoded).mid(7);
    }
    QUrl rootUrl() const { return QUrl::fromLocalFile(_root.path()); }

private slots:
    void initTestCase()
    {
        QDir dir(_root.path());
        QVERIFY(dir.mkpath("s/deep") && dir.mkpath(".hdir"));
        for (const char *name : {"a.pdf", "b.txt", ".hidden.pdf", ".hdir/x.pdf", "s/c.pdf", "s/deep/My Book.PDF"})
            QVERIFY(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
    }

    void enumerations()
    {
        velkarn v;
        v.fetchfilesman(rootUrl());
        QCOMPARE(v.dirmax, 2);
        QCOMPARE(v.dircount, 2);
        QCOMPARE(v.filelistmax(), 4);
        const QStringList level = v.filelist();
        QCOMPARE(QSet<QString>(level.begin(), level.begin() + 2), QSet<QString>({entry("a.pdf"), entry("b.txt")}));
        QCOMPARE(level.mid(2), QStringList({entry("s/c.pdf"), entry("s/deep/My Book.PDF")}));

        v.fetchfiles(rootUrl());
        QCOMPARE(v.dirmax, 2);
        const QStringList deep = v.filelist();
        QCOMPARE(QSet<QString>(deep.begin(), deep.end()), QSet<QString>(level.begin(), level.end()));
        v.fetchfiles(QUrl::fromLocalFile(_root.filePath("missing")));
        QCOMPARE(v.filemax, 0);
    }

    void cursorWalk()
    {
        velkarn v;
        v.fetchfilesman(rootUrl());
        const QStringList list = v.filelist();
        QCOMPARE(v.GetFirstFile(""), list.at(0));
        QCOMPARE(v.GetNextFile(""), list.at(1));
        QCOMPARE(v.GetPrevFile(), list.at(0));
        QCOMPARE(v.GetPrevFile(), QString(""));
        QCOMPARE(v.GetLastFile(), list.at(3));
        QCOMPARE(v.GetNextFile(""), QString(""));
        QCOMPARE(v.GetNextFile(""), QString(""));
        QCOMPARE(v.GetPrevFile(), list.at(3));

        QCOMPARE(v.GetFirstFile("book"), entry("s/deep/My Book.PDF"));
        QCOMPARE(v.GetNextFile("book"), QString(""));
        QCOMPARE(v.GetFirstFile("PDF"), QString(""));
        QCOMPARE(v.filecount, 3);
        QCOMPARE(v.GetFirstFile("c.p"), entry("s/c.pdf"));
        QCOMPARE(v.GetNextFile("pdf"), entry("s/deep/My Book.PDF"));
        QCOMPARE(v.GetFirstFile("deep"), QString(""));
    }

    void directTreeCallDoesNotOverrun()
    {
        velkarn v;
        v.fetchfilesman(QUrl::fromLocalFile(_root.filePath("s")));
        v.filetree(rootUrl());
        QCOMPARE(v.filemax, 6);
        QCOMPARE(v.GetLastFile(), QString(""));
        QCOMPARE(v.GetFirstFile("zzz"), QString(""));
    }
};

QTEST_APPLESS_MAIN(TestVelkarnFiles)
#include "tst_velkarnfiles.moc"
