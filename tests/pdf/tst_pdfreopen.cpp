#include "PdfBook.h"
#include "PdfFixtures.h"

#include <QTemporaryDir>
#include <QTest>

using namespace vk;

class TestPdfReopen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Opened afresh, a book must read and render as before: with the password it
    // was unlocked with, from the bytes or the file it came from.
    void reopenKeepsTheBook_data()
    {
        QTest::addColumn<bool>("fromFile");
        QTest::addColumn<QString>("password");
        QTest::newRow("bytes") << false << QString();
        QTest::newRow("bytes, unlocked") << false << QStringLiteral("s3cret");
        QTest::newRow("file") << true << QString();
        QTest::newRow("file, unlocked") << true << QStringLiteral("s3cret");
    }

    void reopenKeepsTheBook()
    {
        QFETCH(bool, fromFile);
        QFETCH(QString, password);
        const QByteArray plain = PdfFixtures::makePdf({QStringLiteral("first page"), QStringLiteral("second page")});
        const QByteArray bytes = password.isEmpty() ? plain : PdfFixtures::encryptPdf(plain, password);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("book.pdf"));
        QVERIFY(PdfFixtures::writeFile(path, bytes));

        // Below zero, any total is past the budget: the book is opened afresh
        // at the first chance.
        PdfBook book(-1);
        if (fromFile)
            book.loadFile(path);
        else
            book.loadBytes(bytes);
        if (!password.isEmpty()) {
            QCOMPARE(book.loadState(), PdfState::Locked);
            book.reloadWithPassword(password);
        }
        QCOMPARE(book.settle(1).pages, 2);
        const QSize size(120, 170);
        const QImage before = book.render(1, size);
        QVERIFY(!before.isNull());

        QVERIFY(book.renewIfGrown());
        QCOMPARE(book.loadState(), PdfState::Ready);
        QCOMPARE(book.render(1, size), before);
        QVERIFY(book.extractText(1).contains(QStringLiteral("second page")));
        QCOMPARE(book.password(), password);
    }
};

QTEST_MAIN(TestPdfReopen)
#include "tst_pdfreopen.moc"
