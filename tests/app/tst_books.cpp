#include "PdfFixtures.h"
#include "ViewerHarness.h"

#include <QTemporaryDir>

using namespace vk;

namespace {

const QString kUnreadable = QStringLiteral("This book could not be opened");
const QString kNoBook = QStringLiteral("No book open");

QString enabled(AppDelegate &app) // "<" and ">" as "10"
{
    return QString(app.searchp()->isEnabled() ? u'1' : u'0') + (app.searchn()->isEnabled() ? u'1' : u'0');
}

} // namespace

// Opening books, searching them and signing out while reading, against a
// capturing portal whose book list points at files written here.
class BooksTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<CapturingTlsServer> server;

    QString fileUrl(const QString &name) const { return QUrl::fromLocalFile(dir.filePath(name)).toString(); }

    bool signIn(LaunchedViewer &viewer, const QList<QStringList> &books)
    {
        server->setAnswer(kBookPath, bookAnswer(books));
        return viewer.signIn("reader@example.org", "pw");
    }

private slots:
    // Three pages holding "needle" in three letter cases; the last also "haystack".
    // The books are local files, which outside tests are never read.
    void initTestCase()
    {
        qputenv("VELKARN_ALLOW_INSECURE_BOOKS", "1");
        const QStringList pages{"Alpha needle one", "Beta NEEDLE two", "Gamma Needle three haystack"};
        const QByteArray plain = PdfFixtures::makePdf(pages, QPageSize(QPageSize::A5), 24);
        QVERIFY(PdfFixtures::writeFile(dir.filePath("plain.pdf"), plain));
        QVERIFY(PdfFixtures::writeFile(dir.filePath("locked.pdf"), PdfFixtures::encryptPdf(plain, "kilo52")));
        QVERIFY(PdfFixtures::writeFile(dir.filePath("notes.pdf"), "notes, not a PDF\n"));
    }

    void init()
    {
        QVERIFY(server = startCapturingPortal());
        server->setAnswer("/books/missing.pdf", "<html>404 Not Found</html>", 404);
    }

    void cleanup() { server.reset(); }

    // Each listed book in turn, after Book List: the placeholder the view shows
    // instead of pages, and the document's state (-1: none).
    void openBook()
    {
        struct Row
        {
            QString location;
            QString password;
            QString placeholder;
            int state;
        };
        const int unreadable = int(PdfDocument::State::Unreadable);
        const QList<Row> rows{
            {fileUrl("locked.pdf"), "kilo52", "", int(PdfDocument::State::Ready)},
            {fileUrl("locked.pdf"), "none", "This book is locked", int(PdfDocument::State::Locked)},
            {fileUrl("notes.pdf"), "none", kUnreadable, unreadable},
            {server->baseUrl() + "/books/missing.pdf", "none", kUnreadable, unreadable},
            {"http://[::1", "none", kNoBook, -1},
            {"", "none", kNoBook, -1}}; // last: an empty field ends the answer's list
        QList<QStringList> books;
        for (const Row &row : rows)
            books.append({row.location, row.password});
        LaunchedViewer viewer;
        AppDelegate &app = viewer.app();
        QVERIFY(signIn(viewer, books));
        for (int i = 0; i < rows.size(); ++i) {
            app.winAMenuItem3()->trigger();
            QVERIFY(viewer.openBook(i));
            const Row &row = rows.at(i);
            QCOMPARE(app.filename1(), row.location);
            QCOMPARE(app.pass1(), row.password == "none" ? QString() : row.password);
            QVERIFY(app.bookview()->isHidden() && app.view1()->isVisible() && !app.bookbutton()->isEnabled());
            const std::shared_ptr<PdfDocument> document = app.document();
            QCOMPARE(app.pdfView()->document(), document);
            QCOMPARE(app.pdfView()->placeholderText(), row.placeholder);
            QCOMPARE(document ? int(document->state()) : -1, row.state);
        }
    }

    void searchAnotherBookAndLogout()
    {
        LaunchedViewer viewer;
        AppDelegate &app = viewer.app();
        QVERIFY(signIn(viewer, {{fileUrl("plain.pdf"), "none"}, {fileUrl("locked.pdf"), "kilo52"}}));
        QVERIFY(viewer.openBook(0));
        app.searchtv()->setText("nEEDLE"); // on the pages as "needle", "NEEDLE" and "Needle"
        QTest::keyClick(app.searchtv(), Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(app.matchl()->text(), QStringLiteral("1 of 3"), kWaitMs);
        const QList<PdfSelection> found = app.searchResults().value();
        QCOMPARE(found.size(), 3);
        QCOMPARE(app.pdfView()->currentSelection(), found.first());
        QCOMPARE(app.pdfView()->highlightedSelections(), found);
        QCOMPARE(enabled(app), QStringLiteral("11"));

        // The worked sequence: no wrap-around, the button past an end is disabled.
        QList<int> selected;
        QStringList states;
        for (char press : QByteArray(">>><<<>")) {
            (press == '>' ? app.searchn() : app.searchp())->click();
            selected.append(found.indexOf(*app.pdfView()->currentSelection()));
            states.append(enabled(app));
        }
        QCOMPARE(selected, (QList<int>{1, 2, 2, 1, 0, 0, 1}));
        QCOMPARE(states, (QStringList{"11", "11", "10", "11", "11", "01", "11"}));
        QCOMPARE(app.matchl()->text(), QStringLiteral("2 of 3"));

        // A failed search keeps the earlier selection and highlights.
        QVERIFY(viewer.search("zebra"));
        QVERIFY(app.searchResults()->isEmpty() && app.searchIndex() == 0);
        QCOMPARE(enabled(app), QStringLiteral("00"));
        QCOMPARE(app.pdfView()->currentSelection(), found.at(1));
        QCOMPARE(app.pdfView()->highlightedSelections(), found);
        QCOMPARE(app.matchl()->text(), QStringLiteral("No matches"));

        // One match: nothing to step to.
        QVERIFY(viewer.search("haystack"));
        app.searchn()->click();
        QCOMPARE(enabled(app), QStringLiteral("10"));

        // Back to the list and into another book: zoom and the last search stay.
        app.zoomcombo()->setCurrentIndex(4);
        const std::shared_ptr<PdfDocument> first = app.document();
        app.winAMenuItem3()->trigger();
        QVERIFY(app.view1()->isHidden() && app.bookview()->isVisible() && app.bookbutton()->isEnabled());
        QVERIFY(viewer.openBook(1));
        QVERIFY(app.document() != first && app.document()->state() == PdfDocument::State::Ready);
        QCOMPARE(app.pdfView()->scaleFactor(), 1.5);
        QCOMPARE(app.searchResults()->size(), 1);

        // Signing out while reading puts a blank page in the book's place, fitted to the width.
        app.logout();
        QVERIFY(app.view1()->isVisible() && app.view2()->isVisible());
        QCOMPARE(app.document()->pageCount(), 1);
        QCOMPARE(app.pdfView()->document(), app.document());
        QVERIFY(app.pdfView()->autoScales());
        QCOMPARE(app.pdfView()->scaleFactor(), 0.8);
        QCOMPARE(app.zoomcombo()->currentText(), QStringLiteral("1.50"));
    }
};

QTEST_MAIN(BooksTest)
#include "tst_books.moc"
