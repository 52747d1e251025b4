#include "BookFixtures.h"
#include "CapturingTlsServer.h"
#include "PanelView.h"
#include "PdfDocument.h"
#include "PdfView.h"
#include "StderrCapture.h"
#include "TestCertificates.h"
#include "ViewerHarness.h"
#include "velkarn.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kWaitMs = 20000;
enum class Shown { Pages, Locked, Unreadable, Nothing };

// A book answer listing (location, password) pairs; "none" for no password.
QByteArray bookAnswer(const QList<QPair<QString, QString>> &books)
{
    velkarn v;
    QString text = QStringLiteral("*START*");
    for (const auto &[location, password] : books)
        text += "01Book^^" + v.encodestr(location) + "^^" + v.encodestr(password) + "^^abc.+.";
    return (text + "*END*").toUtf8();
}

QString enabled(AppDelegate &app) // "<" and ">" as "10"
{
    return QString(app.searchp()->isEnabled() ? u'1' : u'0') + (app.searchn()->isEnabled() ? u'1' : u'0');
}

} // namespace

Q_DECLARE_METATYPE(Shown)

// Opening books, navigation, zoom and search, against a capturing portal whose
// book list points at files written here.
class BooksTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { server.reset(); }
    void openBook_data();
    void openBook();
    void backToTheListAndAnotherBook();
    void openBookWithAnEmptyList();
    void logoutWhileReadingAndWhileDownloading();
    void zoomAndPagesByButtonAndKey();
    void searchAndStep();
    void searchWithoutDocumentAndFromTheField();
    void searchesNoControlCalls();
    void encryptedBookThroughThePortal();

private:
    bool signIn(LaunchedViewer &viewer, const QList<QPair<QString, QString>> &books);
    bool open(LaunchedViewer &viewer, int index); // selects, presses "Open Book", waits for the bytes
    bool search(AppDelegate &app, const QString &pattern);

    QTemporaryDir dir;
    QString plain, locked;
    std::unique_ptr<CapturingTlsServer> server;
};

void BooksTest::initTestCase()
{
    plain = dir.filePath("plain.pdf");
    locked = dir.filePath("locked.pdf");
    QVERIFY(BookFixtures::writeTextPdf(plain, BookFixtures::searchablePages()));
    QVERIFY(BookFixtures::encryptPdf(plain, locked, "kilo52"));
    QFile notes(dir.filePath("notes.pdf"));
    QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("notes, not a PDF\n") > 0);
}

void BooksTest::init()
{
    server = std::make_unique<CapturingTlsServer>(testCertificates().serverCertificatePath(),
                                                  testCertificates().serverKeyPath());
    QVERIFY2(server->isListening(), qPrintable(server->errorText()));
    server->setAnswer("/adminportal/pdfuserchk.php", "NYYAcme^^Sales^^" + velkarn().encodestr("pw").toUtf8());
    server->setAnswer("/books/missing.pdf", "<html>404 Not Found</html>", 404);
    server->setSilent("/books/slow.pdf");
    usePortalPort(server->port());
}

bool BooksTest::signIn(LaunchedViewer &viewer, const QList<QPair<QString, QString>> &books)
{
    server->setAnswer("/adminportal/pdfbookchk.php", bookAnswer(books));
    return viewer.signIn("reader@example.org", "pw");
}

bool BooksTest::open(LaunchedViewer &viewer, int index)
{
    viewer.app().bookcombo()->setCurrentIndex(index);
    viewer.app().bookbutton()->click();
    return QTest::qWaitFor([&] { return !viewer.app().isDownloading(); }, kWaitMs);
}

bool BooksTest::search(AppDelegate &app, const QString &pattern)
{
    app.searchtv()->setText(pattern);
    app.searchf()->click();
    return QTest::qWaitFor([&] { return app.matchl()->text() != QLatin1String("Searching ..."); }, kWaitMs);
}

void BooksTest::openBook_data()
{
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("password");
    QTest::addColumn<Shown>("shown");
    const auto file = [this](const QString &name) { return QUrl::fromLocalFile(dir.filePath(name)).toString(); };
    QTest::newRow("no password") << file("plain.pdf") << "none" << Shown::Pages;
    QTest::newRow("right password") << file("locked.pdf") << "kilo52" << Shown::Pages;
    QTest::newRow("wrong password") << file("locked.pdf") << "Kilo52" << Shown::Locked;
    QTest::newRow("no password given") << file("locked.pdf") << "none" << Shown::Locked;
    QTest::newRow("not a PDF") << file("notes.pdf") << "none" << Shown::Unreadable;
    QTest::newRow("missing file") << file("gone.pdf") << "none" << Shown::Unreadable;
    QTest::newRow("404") << "https://127.0.0.1:%1/books/missing.pdf" << "none" << Shown::Unreadable;
    QTest::newRow("unknown scheme") << "ftp://example.org/b.pdf" << "none" << Shown::Unreadable;
    QTest::newRow("empty location") << "" << "none" << Shown::Nothing;
    QTest::newRow("unparsable location") << "http://[::1" << "none" << Shown::Nothing;
}

void BooksTest::openBook()
{
    QFETCH(QString, location);
    QFETCH(QString, password);
    QFETCH(Shown, shown);
    location.replace("%1", QString::number(server->port()));
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(signIn(viewer, {{"file:///elsewhere.pdf", "x"}, {location, password}}));
    QVERIFY(open(viewer, 1));

    QCOMPARE(app.filename1(), location);
    QCOMPARE(app.pass1(), password == "none" ? QString() : password);
    QVERIFY(app.bookview()->isHidden() && app.view1()->isVisible() && app.view2()->isVisible());
    QVERIFY(!app.bookbutton()->isEnabled());
    const std::shared_ptr<PdfDocument> document = app.document();
    QCOMPARE(app.pdfView()->document(), document);
    const QMap<Shown, QPair<PdfDocument::State, QString>> expected{
        {Shown::Pages, {PdfDocument::State::Ready, ""}},
        {Shown::Locked, {PdfDocument::State::Locked, "This book is locked"}},
        {Shown::Unreadable, {PdfDocument::State::Unreadable, "This book could not be opened"}}};
    QCOMPARE(app.pdfView()->placeholderText(), shown == Shown::Nothing ? "No book open" : expected[shown].second);
    if (shown == Shown::Nothing)
        QVERIFY(!document && app.bookUrl().isEmpty());
    else
        QCOMPARE(document->state(), expected[shown].first);
}

void BooksTest::backToTheListAndAnotherBook()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(signIn(viewer, {{QUrl::fromLocalFile(plain).toString(), "none"}, {"file:///elsewhere.pdf", "none"},
                            {QUrl::fromLocalFile(locked).toString(), "kilo52"}}));
    QVERIFY(open(viewer, 0));
    app.zoomcombo()->setCurrentIndex(4);
    const std::shared_ptr<PdfDocument> first = app.document();

    app.winAMenuItem3()->trigger();
    QVERIFY(app.view1()->isHidden() && app.view2()->isHidden() && app.bookview()->isVisible());
    QVERIFY(app.bookbutton()->isEnabled());
    QCOMPARE(app.bookcombo()->currentIndex(), 0);
    QVERIFY(open(viewer, 2));
    QCOMPARE(app.bookUrl(), QUrl::fromLocalFile(locked));
    QVERIFY(app.document() != first && app.document()->state() == PdfDocument::State::Ready);
    QCOMPARE(app.pdfView()->scaleFactor(), 1.5);
}

void BooksTest::openBookWithAnEmptyList()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    server->setAnswer("/adminportal/pdfbookchk.php", "no books");
    QVERIFY(viewer.signIn("reader@example.org", "pw"));
    app.bookbutton()->click();
    QVERIFY(app.bookview()->isVisible() && app.bookbutton()->isEnabled() && app.view1()->isHidden());
    QVERIFY(!app.document() && !app.isDownloading());
}

void BooksTest::logoutWhileReadingAndWhileDownloading()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(signIn(viewer, {{QUrl::fromLocalFile(plain).toString(), "none"},
                            {QStringLiteral("https://127.0.0.1:%1/books/slow.pdf").arg(server->port()), "none"}}));
    QVERIFY(open(viewer, 0));
    app.zoomcombo()->setCurrentIndex(5);
    app.logout();
    QVERIFY(app.view1()->isVisible() && app.view2()->isVisible());
    QCOMPARE(app.document()->pageCount(), 1);
    QCOMPARE(app.pdfView()->document(), app.document());
    QVERIFY(app.pdfView()->autoScales());
    QCOMPARE(app.pdfView()->scaleFactor(), 0.8);
    QCOMPARE(app.zoomcombo()->currentText(), QStringLiteral("2.0"));

    QVERIFY(viewer.waitForIdle());
    app.login();
    QVERIFY(viewer.signIn("reader@example.org", "pw"));
    app.bookcombo()->setCurrentIndex(1);
    app.bookbutton()->click();
    QVERIFY(app.isDownloading() && !app.document());
    app.logout();
    const std::shared_ptr<PdfDocument> blank = app.document();
    QVERIFY(QTest::qWaitFor([&] { return !app.isDownloading(); }, kWaitMs));
    QCoreApplication::processEvents(); // the cancelled download's end, which is discarded
    QVERIFY(blank && blank->pageCount() == 1);
    QCOMPARE(app.pdfView()->document(), blank);
}

void BooksTest::zoomAndPagesByButtonAndKey()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(signIn(viewer, {{QUrl::fromLocalFile(plain).toString(), "none"}}));
    QVERIFY(open(viewer, 0));
    PdfView *view = app.pdfView();
    const QList<double> factors{0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 4.0};
    for (int i = factors.size() - 1; i >= 0; --i) {
        app.zoomcombo()->setCurrentIndex(i);
        QCOMPARE(view->scaleFactor(), factors.at(i));
    }
    QList<int> pages;
    for (QPushButton *button : {app.prev(), app.next(), app.last(), app.next(), app.first()}) {
        button->click();
        pages.append(view->currentPageIndex());
    }
    QCOMPARE(pages, (QList<int>{0, 1, 2, 2, 0}));

    viewer.window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&viewer.window()));
    view->setFocus();
    pages.clear();
    for (Qt::Key key : {Qt::Key_End, Qt::Key_PageUp, Qt::Key_Home, Qt::Key_PageDown}) {
        QTest::keyClick(view, key);
        pages.append(view->currentPageIndex());
    }
    QCOMPARE(pages, (QList<int>{2, 1, 0, 1}));
    QTest::keySequence(&viewer.window(), QKeySequence::ZoomIn);
    QCOMPARE(view->scaleFactor(), 0.75);
    QTest::keySequence(&viewer.window(), QKeySequence::ZoomOut);
    QTest::keySequence(&viewer.window(), QKeySequence::ZoomOut);
    QCOMPARE(app.zoomcombo()->currentText(), QStringLiteral("0.50"));
    QTest::keySequence(&viewer.window(), QKeySequence::Find);
    QCOMPARE(QApplication::focusWidget(), app.searchtv());
}

void BooksTest::searchAndStep()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(signIn(viewer, {{QUrl::fromLocalFile(plain).toString(), "none"},
                            {QUrl::fromLocalFile(locked).toString(), "kilo52"}}));
    QVERIFY(open(viewer, 0));
    QVERIFY(search(app, "nEEDLE")); // on the pages as "needle", "NEEDLE" and "Needle"
    const QList<PdfSelection> found = app.searchResults().value();
    QCOMPARE(found.size(), 3);
    QCOMPARE(app.pdfView()->currentSelection(), found.first());
    QCOMPARE(app.pdfView()->highlightedSelections(), found);
    QCOMPARE(enabled(app), QStringLiteral("11"));
    QCOMPARE(app.matchl()->text(), QStringLiteral("1 of 3"));

    // The worked sequence: no wrap-around, the button past an end is disabled.
    QList<int> selected;
    QStringList states;
    for (char press : QByteArray(">>><<<>")) {
        press == '>' ? app.searchPressedn() : app.searchPressedp();
        selected.append(found.indexOf(*app.pdfView()->currentSelection()));
        states.append(enabled(app));
    }
    QCOMPARE(selected, (QList<int>{1, 2, 2, 1, 0, 0, 1}));
    QCOMPARE(states, (QStringList{"11", "11", "10", "11", "11", "01", "11"}));
    QCOMPARE(app.matchl()->text(), QStringLiteral("2 of 3"));

    QVERIFY(search(app, "haystack"));
    QCOMPARE(app.searchResults()->size(), 1);
    app.searchn()->click();
    QCOMPARE(enabled(app), QStringLiteral("10"));

    // A failed search keeps the earlier selection and highlights.
    const std::optional<PdfSelection> before = app.pdfView()->currentSelection();
    QVERIFY(search(app, "zebra"));
    QVERIFY(app.searchResults()->isEmpty() && app.searchIndex() == 0);
    QCOMPARE(enabled(app), QStringLiteral("00"));
    QCOMPARE(app.pdfView()->currentSelection(), before);
    QCOMPARE(app.pdfView()->highlightedSelections().size(), 1);
    QCOMPARE(app.matchl()->text(), QStringLiteral("No matches"));

    // Another book leaves the last search as it was.
    QVERIFY(search(app, "needle"));
    app.openbookm();
    QVERIFY(open(viewer, 1));
    QCOMPARE(app.searchResults()->size(), 3);
}

void BooksTest::searchWithoutDocumentAndFromTheField()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    StderrCapture capture;
    app.searchn()->click();
    QCOMPARE(enabled(app), QStringLiteral("00"));
    app.searchf()->click();
    QVERIFY(!app.searchResults());
    QVERIFY(signIn(viewer, {{QUrl::fromLocalFile(plain).toString(), "none"}}));
    QVERIFY(open(viewer, 0));
    app.searchtv()->setText("needle");
    QTest::keyClick(app.searchtv(), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(app.searchResults().has_value(), kWaitMs);
    app.searchn()->click();
    const QByteArray log = capture.text();
    QVERIFY2(log.contains("rcount=0, b4fcount=0\n") && log.contains("enter tv=tvaction:\n")
                 && log.contains("rcount=3, b4fcount=0\n"),
             log.constData());
}

void BooksTest::searchesNoControlCalls()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(signIn(viewer, {{QUrl::fromLocalFile(plain).toString(), "none"}}));
    QVERIFY(open(viewer, 0));
    QVERIFY(search(app, "needle"));
    const QList<PdfSelection> found = *app.searchResults();
    for (int expected : {1, 2, 2}) {
        app.findtext("NEEDLE");
        QTRY_COMPARE_WITH_TIMEOUT(app.pdfView()->currentSelection(), found.at(expected), kWaitMs);
    }
    app.findnexttext2("haystack"); // one match: nothing to select
    QCOMPARE(app.pdfView()->currentSelection(), found.at(2));
    app.findnexttext2("needle");
    QCOMPARE(app.pdfView()->currentSelection(), found.at(1));
    QCOMPARE(app.searchIndex(), 0);
}

void BooksTest::encryptedBookThroughThePortal()
{
    PortalProcess portal;
    QVERIFY(portal.addUser("reader@example.org", "read-1", "Acme"));
    QVERIFY2(portal.admin({"book", "add", "--company", "Acme", "--category", "Sales", "--name", "Needles",
                           "--file", plain, "--password", "book-pass"}),
             qPrintable(portal.errorText()));
    QVERIFY2(portal.start(), qPrintable(portal.errorText()));
    usePortalPort(portal.port());

    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(viewer.signIn("reader@example.org", "read-1"));
    QCOMPARE(app.bookpasses(), QStringList{"book-pass"});
    QVERIFY(open(viewer, 0));
    QCOMPARE(app.bookUrl().scheme(), QStringLiteral("https"));
    QCOMPARE(app.document()->state(), PdfDocument::State::Ready);
    QVERIFY(search(app, "needle"));
    app.searchn()->click();
    app.searchn()->click();
    QCOMPARE(app.searchIndex(), 2);
    QCOMPARE(app.pdfView()->currentSelection()->page, 2);
    app.logout();
    QVERIFY(viewer.waitForIdle());
}

QTEST_MAIN(BooksTest)
#include "tst_books.moc"
