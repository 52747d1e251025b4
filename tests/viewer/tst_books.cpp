#include "BookFixtures.h"
#include "CapturingTlsServer.h"
#include "PanelView.h"
#include "PdfDocument.h"
#include "PdfView.h"
#include "TestCertificates.h"
#include "ViewerHarness.h"
#include "velkarn.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kWaitMs = 20000;

struct Book
{
    QString name;
    QString location;
    QString password; // "none" for a book without one
};

QByteArray bookAnswer(const QList<Book> &books)
{
    velkarn v;
    QString text = QStringLiteral("*START*");
    for (const Book &book : books)
        text += QStringLiteral("01") + book.name + QStringLiteral("^^") + v.encodestr(book.location)
            + QStringLiteral("^^") + v.encodestr(book.password) + QStringLiteral("^^abc.+.");
    return (text + QStringLiteral("*END*")).toUtf8();
}

enum class Shown { Pages, Locked, Unreadable, NoDocument };

} // namespace

Q_DECLARE_METATYPE(Shown)

class BooksTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void openBook_data();
    void openBook();
    void backToTheListAndAnotherBook();
    void openBookWithAnEmptyList();
    void logoutWhileReading();
    void logoutWhileDownloading();
    void zoomChoices();
    void pageButtonsAndKeys();

private:
    // Signs in against the capturing portal, which lists books.
    bool signIn(LaunchedViewer &viewer, const QList<Book> &books);
    // Selects entry index and presses "Open Book"; waits until the download ends.
    bool open(LaunchedViewer &viewer, int index);

    QTemporaryDir dir;
    QString plain, locked, notPdf;
    std::unique_ptr<CapturingTlsServer> server;
};

void BooksTest::initTestCase()
{
    testCertificates();
    plain = dir.filePath(QStringLiteral("plain.pdf"));
    locked = dir.filePath(QStringLiteral("locked.pdf"));
    notPdf = dir.filePath(QStringLiteral("notes.pdf"));
    QVERIFY(BookFixtures::writeTextPdf(plain, BookFixtures::searchablePages()));
    QVERIFY(BookFixtures::encryptPdf(plain, locked, QStringLiteral("kilo52")));
    QFile text(notPdf);
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("these are notes, not a PDF\n");
}

void BooksTest::init()
{
    const TestCertificates &certificates = testCertificates();
    server = std::make_unique<CapturingTlsServer>(certificates.serverCertificatePath(),
                                                  certificates.serverKeyPath());
    QVERIFY2(server->isListening(), qPrintable(server->errorText()));
    server->setAnswer("/adminportal/pdfuserchk.php",
                      "NYYAcme^^Sales^^" + velkarn().encodestr(QStringLiteral("pw")).toUtf8());
    server->setAnswer("/books/missing.pdf", "<html>404 Not Found</html>", 404);
    server->setSilent("/books/slow.pdf");
    usePortalPort(server->port());
}

void BooksTest::cleanup()
{
    server.reset();
}

bool BooksTest::signIn(LaunchedViewer &viewer, const QList<Book> &books)
{
    server->setAnswer("/adminportal/pdfbookchk.php", bookAnswer(books));
    return viewer.signIn(QStringLiteral("reader@example.org"), QStringLiteral("pw"));
}

bool BooksTest::open(LaunchedViewer &viewer, int index)
{
    viewer.app().bookcombo()->setCurrentIndex(index);
    viewer.app().bookbutton()->click();
    return QTest::qWaitFor([&] { return !viewer.app().isDownloading(); }, kWaitMs);
}

void BooksTest::openBook_data()
{
    const QString fileUrl = QUrl::fromLocalFile(plain).toString();
    const QString lockedUrl = QUrl::fromLocalFile(locked).toString();
    QTest::addColumn<Book>("book");
    QTest::addColumn<Shown>("shown");
    QTest::addColumn<QString>("placeholder");
    QTest::newRow("no password") << Book{"Plain", fileUrl, "none"} << Shown::Pages << QString();
    QTest::newRow("right password") << Book{"Locked", lockedUrl, "kilo52"} << Shown::Pages << QString();
    QTest::newRow("wrong password") << Book{"Locked", lockedUrl, "Kilo52"} << Shown::Locked
                                    << "This book is locked";
    QTest::newRow("password missing") << Book{"Locked", lockedUrl, "none"} << Shown::Locked
                                      << "This book is locked";
    QTest::newRow("not a PDF") << Book{"Notes", QUrl::fromLocalFile(notPdf).toString(), "none"}
                               << Shown::Unreadable << "This book could not be opened";
    QTest::newRow("missing file") << Book{"Gone", fileUrl + ".gone", "none"} << Shown::Unreadable
                                  << "This book could not be opened";
    QTest::newRow("404") << Book{"Missing", "https://127.0.0.1:%1/books/missing.pdf", "none"}
                         << Shown::Unreadable << "This book could not be opened";
    QTest::newRow("unknown scheme") << Book{"Ftp", "ftp://example.org/b.pdf", "none"}
                                    << Shown::Unreadable << "This book could not be opened";
    QTest::newRow("empty location") << Book{"Empty", "", "none"} << Shown::NoDocument << "No book open";
    QTest::newRow("unparsable location") << Book{"Bad", "http://[::1", "none"} << Shown::NoDocument
                                         << "No book open";
}

void BooksTest::openBook()
{
    QFETCH(Book, book);
    QFETCH(Shown, shown);
    QFETCH(QString, placeholder);
    book.location.replace(QStringLiteral("%1"), QString::number(server->port()));

    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(signIn(viewer, {Book{"Other", "file:///nowhere.pdf", "x"}, book}));
    QVERIFY(open(viewer, 1));

    QCOMPARE(app.filename1(), book.location);
    QCOMPARE(app.pass1(), book.password == QLatin1String("none") ? QString() : book.password);
    QVERIFY(app.bookview()->isHidden());
    QVERIFY(app.view1()->isVisible() && app.view2()->isVisible());
    QVERIFY(!app.bookbutton()->isEnabled());
    QCOMPARE(app.pdfView()->placeholderText(), placeholder);
    const std::shared_ptr<PdfDocument> document = app.document();
    QCOMPARE(app.pdfView()->document(), document);
    switch (shown) {
    case Shown::Pages:
        QCOMPARE(document->state(), PdfDocument::State::Ready);
        QCOMPARE(document->pageCount(), 3);
        break;
    case Shown::Locked:
        QCOMPARE(document->state(), PdfDocument::State::Locked);
        break;
    case Shown::Unreadable:
        QCOMPARE(document->state(), PdfDocument::State::Unreadable);
        break;
    case Shown::NoDocument:
        QVERIFY(!document);
        QVERIFY(app.bookUrl().isEmpty());
        break;
    }
    QCOMPARE(app.pdfView()->scaleFactor(), 1.0);
}

void BooksTest::backToTheListAndAnotherBook()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    const QString plainUrl = QUrl::fromLocalFile(plain).toString();
    const QString lockedUrl = QUrl::fromLocalFile(locked).toString();
    QVERIFY(signIn(viewer, {Book{"One", plainUrl, "none"}, Book{"Two", notPdf, "none"},
                            Book{"Three", lockedUrl, "kilo52"}}));
    QVERIFY(open(viewer, 0));
    app.zoomcombo()->setCurrentIndex(4);
    const std::shared_ptr<PdfDocument> first = app.document();

    app.winAMenuItem3()->trigger();
    QVERIFY(app.view1()->isHidden() && app.view2()->isHidden());
    QVERIFY(app.bookview()->isVisible());
    QVERIFY(app.bookbutton()->isEnabled());
    QCOMPARE(app.bookcombo()->currentIndex(), 0);
    QCOMPARE(app.pdfView()->document(), first);

    QVERIFY(open(viewer, 2));
    QCOMPARE(app.bookUrl(), QUrl(lockedUrl));
    QVERIFY(app.document() != first);
    QCOMPARE(app.document()->state(), PdfDocument::State::Ready);
    QCOMPARE(app.pdfView()->scaleFactor(), 1.5);
}

void BooksTest::openBookWithAnEmptyList()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    server->setAnswer("/adminportal/pdfbookchk.php", "no books");
    QVERIFY(viewer.signIn(QStringLiteral("reader@example.org"), QStringLiteral("pw")));
    QCOMPARE(app.bookcombo()->count(), 0);
    app.bookbutton()->click();
    QVERIFY(app.bookview()->isVisible());
    QVERIFY(app.bookbutton()->isEnabled());
    QVERIFY(app.view1()->isHidden());
    QVERIFY(!app.document());
    QVERIFY(!app.isDownloading());
}

void BooksTest::logoutWhileReading()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(signIn(viewer, {Book{"One", QUrl::fromLocalFile(plain).toString(), "none"}}));
    QVERIFY(open(viewer, 0));
    app.zoomcombo()->setCurrentIndex(5);
    QCOMPARE(app.pdfView()->scaleFactor(), 2.0);

    app.logout();
    QVERIFY(app.view1()->isVisible() && app.view2()->isVisible());
    QCOMPARE(app.document()->state(), PdfDocument::State::Ready);
    QCOMPARE(app.document()->pageCount(), 1);
    QCOMPARE(app.pdfView()->document(), app.document());
    QVERIFY(app.pdfView()->autoScales());
    QCOMPARE(app.pdfView()->scaleFactor(), 0.8);
    QCOMPARE(app.zoomcombo()->currentText(), QStringLiteral("2.0"));
    QCOMPARE(app.filename1(), QUrl::fromLocalFile(plain).toString());
    QVERIFY(QTest::qWaitFor([&] { return app.guardValue() == 0; }, kWaitMs));
}

void BooksTest::logoutWhileDownloading()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    const QString slow = QStringLiteral("https://127.0.0.1:%1/books/slow.pdf").arg(server->port());
    QVERIFY(signIn(viewer, {Book{"Slow", slow, "none"}}));
    app.bookcombo()->setCurrentIndex(0);
    app.bookbutton()->click();
    QVERIFY(app.isDownloading());
    QVERIFY(app.view1()->isVisible());
    QVERIFY(!app.document());

    app.logout();
    const std::shared_ptr<PdfDocument> blank = app.document();
    QVERIFY(blank);
    QVERIFY(QTest::qWaitFor([&] { return !app.isDownloading(); }, kWaitMs));
    QCoreApplication::processEvents();
    QCOMPARE(app.document(), blank);
    QCOMPARE(app.pdfView()->document(), blank);
    QCOMPARE(blank->pageCount(), 1);
}

void BooksTest::zoomChoices()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(signIn(viewer, {Book{"One", QUrl::fromLocalFile(plain).toString(), "none"}}));
    QVERIFY(open(viewer, 0));
    const QList<double> factors{0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 4.0};
    for (int i = 0; i < factors.size(); ++i) {
        app.zoomcombo()->setCurrentIndex(i);
        QCOMPARE(app.pdfView()->scaleFactor(), factors.at(i));
    }
    viewer.window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&viewer.window()));
    app.pdfView()->setFocus();
    QTest::keySequence(&viewer.window(), QKeySequence::ZoomOut);
    QCOMPARE(app.zoomcombo()->currentText(), QStringLiteral("2.0"));
    QCOMPARE(app.pdfView()->scaleFactor(), 2.0);
    QTest::keyClick(&viewer.window(), Qt::Key_Equal, Qt::ControlModifier);
    QTest::keyClick(&viewer.window(), Qt::Key_Equal, Qt::ControlModifier);
    QCOMPARE(app.zoomcombo()->currentText(), QStringLiteral("4.0"));
    QTest::keySequence(&viewer.window(), QKeySequence::Find);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(app.searchtv()));
}

void BooksTest::pageButtonsAndKeys()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(signIn(viewer, {Book{"One", QUrl::fromLocalFile(plain).toString(), "none"}}));
    QVERIFY(open(viewer, 0));
    PdfView *view = app.pdfView();

    app.prev()->click();
    QCOMPARE(view->currentPageIndex(), 0);
    app.next()->click();
    QCOMPARE(view->currentPageIndex(), 1);
    app.last()->click();
    QCOMPARE(view->currentPageIndex(), 2);
    app.next()->click();
    QCOMPARE(view->currentPageIndex(), 2);
    app.first()->click();
    QCOMPARE(view->currentPageIndex(), 0);

    viewer.window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&viewer.window()));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_End);
    QCOMPARE(view->currentPageIndex(), 2);
    QTest::keyClick(view, Qt::Key_PageUp);
    QCOMPARE(view->currentPageIndex(), 1);
    QTest::keyClick(view, Qt::Key_Home);
    QCOMPARE(view->currentPageIndex(), 0);
    QTest::keyClick(view, Qt::Key_PageDown);
    QCOMPARE(view->currentPageIndex(), 1);
}

QTEST_MAIN(BooksTest)
#include "tst_books.moc"
