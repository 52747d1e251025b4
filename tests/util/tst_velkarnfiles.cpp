#include "velkarn.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// a.pdf  b.txt  .hidden.pdf  .hdir/x.pdf  s/c.pdf  s/deep/My Book.PDF
class TestVelkarnFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;

    QString entry(const QString &relative) const
    {
        return QUrl::fromLocalFile(m_root.filePath(relative)).toString(QUrl::FullyEncoded).mid(7);
    }
    QUrl rootUrl() const { return QUrl::fromLocalFile(m_root.path()); }

private slots:
    void initTestCase()
    {
        QDir dir(m_root.path());
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
        v.fetchfiles(QUrl::fromLocalFile(m_root.filePath("missing")));
        QCOMPARE(v.filemax, 0);
    }

    void cursorWalk()
    {
        velkarn v;
        v.fetchfilesman(rootUrl());
        const QStringList list = v.filelist();
        // Steps past either end answer "" and stay there.
        const QStringList walk{v.GetFirstFile(""), v.GetNextFile(""), v.GetPrevFile(), v.GetPrevFile(),
                               v.GetLastFile(), v.GetNextFile(""), v.GetNextFile(""), v.GetPrevFile()};
        QCOMPARE(walk, (QStringList{list[0], list[1], list[0], "", list[3], "", "", list[3]}));

        // Patterns match the name, not the folders, and the cursor stays where nothing matched.
        const QStringList found{v.GetFirstFile("book"), v.GetNextFile("book"), v.GetFirstFile("PDF")};
        QCOMPARE(found, (QStringList{entry("s/deep/My Book.PDF"), "", ""}));
        QCOMPARE(v.filecount, 3);
        const QStringList more{v.GetFirstFile("c.p"), v.GetNextFile("pdf"), v.GetFirstFile("deep")};
        QCOMPARE(more, (QStringList{entry("s/c.pdf"), entry("s/deep/My Book.PDF"), ""}));
    }
};

QTEST_APPLESS_MAIN(TestVelkarnFiles)
#include "tst_velkarnfiles.moc"
