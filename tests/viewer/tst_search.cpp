#include "BookFixtures.h"
#include "CapturingTlsServer.h"
#include "PanelView.h"
#include "PdfDocument.h"
#include "PdfView.h"
#include "StderrCapture.h"
#include "TestCertificates.h"
#include "ViewerHarness.h"
#include "velkarn.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kWaitMs = 20000;

QByteArray bookAnswer(const QStringList &locations)
{
    velkarn v;
    QString text = QStringLiteral("*START*");
    for (const QString &location : locations)
        text += QStringLiteral("01Book^^") + v.encodestr(location) + QStringLiteral("^^")
            + v.encodestr(QStringLiteral("none")) + QStringLiteral("^^abc.+.");
    return (text + QStringLiteral("*END*")).toUtf8();
}

QString buttons(AppDelegate &app)
{
    return QString(QChar(app.searchp()->isEnabled() ? '1' : '0'))
        + QChar(app.searchn()->isEnabled() ? '1' : '0');
}

} // namespace

class SearchTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void searchAndStep_data();
    void searchAndStep();
    void failedSearchKeepsTheEarlierOnes();
    void searchWithoutDocument();
    void returnInTheFieldSearches();
    void secondMatchAndStepOnward();
    void throughThePortal();

private:
    bool openBook(LaunchedViewer &viewer, int index = 0);
    bool search(AppDelegate &app, const QString &pattern);

    QTemporaryDir dir;
    QString plain;
    QString other;
    std::unique_ptr<CapturingTlsServer> server;
};

void SearchTest::initTestCase()
{
    testCertificates();
    plain = dir.filePath(QStringLiteral("plain.pdf"));
    other = dir.filePath(QStringLiteral("other.pdf"));
    QVERIFY(BookFixtures::writeTextPdf(plain, BookFixtures::searchablePages()));
    QVERIFY(BookFixtures::writeTextPdf(other, {QStringLiteral("nothing to find here")}));
}

void SearchTest::init()
{
    const TestCertificates &certificates = testCertificates();
    server = std::make_unique<CapturingTlsServer>(certificates.serverCertificatePath(),
                                                  certificates.serverKeyPath());
    QVERIFY2(server->isListening(), qPrintable(server->errorText()));
    server->setAnswer("/adminportal/pdfuserchk.php",
                      "NYYAcme^^Sales^^" + velkarn().encodestr(QStringLiteral("pw")).toUtf8());
    server->setAnswer("/adminportal/pdfbookchk.php",
                      bookAnswer({QUrl::fromLocalFile(plain).toString(), QUrl::fromLocalFile(other).toString()}));
    usePortalPort(server->port());
}

void SearchTest::cleanup()
{
    server.reset();
}

bool SearchTest::openBook(LaunchedViewer &viewer, int index)
{
    AppDelegate &app = viewer.app();
    if (app.bookview()->isHidden() && !viewer.signIn(QStringLiteral("r@e.org"), QStringLiteral("pw")))
        return false;
    app.bookcombo()->setCurrentIndex(index);
    app.bookbutton()->click();
    return QTest::qWaitFor([&] { return !app.isDownloading(); }, kWaitMs) && app.document()
        && app.document()->state() == PdfDocument::State::Ready;
}

// Presses "First" with the pattern; the search may finish once the text is indexed.
bool SearchTest::search(AppDelegate &app, const QString &pattern)
{
    app.searchtv()->setText(pattern);
    app.searchf()->click();
    return QTest::qWaitFor([&] { return app.matchl()->text() != QLatin1String("Searching ..."); }, kWaitMs);
}

void SearchTest::searchAndStep_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("matches");
    QTest::addColumn<QString>("presses");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QStringList>("states");
    QTest::newRow("three matches") << "needle" << 3 << ">>><<<>" << QList<int>{1, 2, 2, 1, 0, 0, 1}
                                   << QStringList{"11", "11", "10", "11", "11", "01", "11"};
    QTest::newRow("pattern in another case") << "NeEdLe" << 3 << ">" << QList<int>{1} << QStringList{"11"};
    QTest::newRow("one match") << "HAYSTACK" << 1 << "><" << QList<int>{0, 0} << QStringList{"10", "00"};
    QTest::newRow("no match") << "zebra" << 0 << "><" << QList<int>{-1, -1} << QStringList{"00", "00"};
}

void SearchTest::searchAndStep()
{
    QFETCH(QString, pattern);
    QFETCH(int, matches);
    QFETCH(QString, presses);
    QFETCH(QList<int>, selected);
    QFETCH(QStringList, states);

    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(openBook(viewer));
    QVERIFY(search(app, pattern));
    QVERIFY(app.searchResults().has_value());
    const QList<PdfSelection> results = *app.searchResults();
    QCOMPARE(results.size(), matches);
    QCOMPARE(app.searchIndex(), 0);
    if (matches > 0) {
        QCOMPARE(app.pdfView()->currentSelection(), std::optional<PdfSelection>(results.first()));
        QCOMPARE(app.pdfView()->highlightedSelections(), results);
        QCOMPARE(buttons(app), QStringLiteral("11"));
        QCOMPARE(app.matchl()->text(), QStringLiteral("1 of %1").arg(matches));
        QCOMPARE(results.at(matches - 1).page, 2);
    } else {
        QCOMPARE(buttons(app), QStringLiteral("00"));
        QCOMPARE(app.matchl()->text(), QStringLiteral("No matches"));
    }

    for (int i = 0; i < presses.size(); ++i) {
        // The actions themselves: a disabled button could not be clicked.
        if (presses.at(i) == u'>')
            app.searchPressedn();
        else
            app.searchPressedp();
        QCOMPARE(buttons(app), states.at(i));
        if (selected.at(i) < 0) {
            QVERIFY(!app.pdfView()->currentSelection());
        } else {
            QCOMPARE(app.searchIndex(), selected.at(i));
            QCOMPARE(app.pdfView()->currentSelection(), std::optional<PdfSelection>(results.at(selected.at(i))));
        }
        QCOMPARE(app.pdfView()->highlightedSelections(), matches > 0 ? results : QList<PdfSelection>());
    }
}

void SearchTest::failedSearchKeepsTheEarlierOnes()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(openBook(viewer));
    QVERIFY(search(app, QStringLiteral("needle")));
    const QList<PdfSelection> found = *app.searchResults();
    app.searchn()->click();
    QCOMPARE(app.matchl()->text(), QStringLiteral("2 of 3"));

    QVERIFY(search(app, QStringLiteral("zebra")));
    QVERIFY(app.searchResults() && app.searchResults()->isEmpty());
    QCOMPARE(app.searchIndex(), 0);
    QCOMPARE(buttons(app), QStringLiteral("00"));
    QCOMPARE(app.pdfView()->currentSelection(), std::optional<PdfSelection>(found.at(1)));
    QCOMPARE(app.pdfView()->highlightedSelections(), found);
    QCOMPARE(app.matchl()->text(), QStringLiteral("No matches"));

    // Another book keeps the earlier highlights too.
    QVERIFY(search(app, QStringLiteral("needle")));
    app.winAMenuItem3()->trigger();
    QVERIFY(openBook(viewer, 1));
    QCOMPARE(*app.searchResults(), found);
    QCOMPARE(buttons(app), QStringLiteral("11"));
}

void SearchTest::searchWithoutDocument()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    StderrCapture capture;
    app.searchPressedn();
    QCOMPARE(buttons(app), QStringLiteral("00"));
    app.searchf()->click();
    const QByteArray log = capture.text();
    QVERIFY2(log.contains("rcount=0, b4fcount=0\n"), log.constData());
    QVERIFY(!app.searchResults());
    QCOMPARE(app.matchl()->text(), QStringLiteral("No matches"));
    QVERIFY(!app.pdfView()->currentSelection());
}

void SearchTest::returnInTheFieldSearches()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(openBook(viewer));
    StderrCapture capture;
    app.searchtv()->setText(QStringLiteral("needle"));
    QTest::keyClick(app.searchtv(), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(app.searchResults().has_value(), kWaitMs);
    app.searchn()->click();
    app.searchn()->click();
    const QByteArray log = capture.text();
    QVERIFY2(log.contains("enter tv=tvaction:\n"), log.constData());
    QVERIFY2(log.contains("rcount=3, b4fcount=0\n") && log.contains("rcount=3, b4fcount=1\n"), log.constData());
    QCOMPARE(app.searchResults()->size(), 3);
}

void SearchTest::secondMatchAndStepOnward()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(openBook(viewer));
    QVERIFY(search(app, QStringLiteral("needle")));
    const QList<PdfSelection> found = *app.searchResults();

    app.findtext(QStringLiteral("NEEDLE"));
    QTRY_COMPARE_WITH_TIMEOUT(app.pdfView()->currentSelection(), std::optional<PdfSelection>(found.at(1)), kWaitMs);
    app.findtext(QStringLiteral("needle"));
    QCOMPARE(app.pdfView()->currentSelection(), std::optional<PdfSelection>(found.at(2)));
    app.findtext(QStringLiteral("needle"));
    QCOMPARE(app.pdfView()->currentSelection(), std::optional<PdfSelection>(found.at(2)));

    app.findnexttext2(QStringLiteral("haystack"));
    QCOMPARE(app.pdfView()->currentSelection(), std::optional<PdfSelection>(found.at(2)));
    app.findnexttext2(QStringLiteral("needle"));
    QCOMPARE(app.pdfView()->currentSelection(), std::optional<PdfSelection>(found.at(1)));
    QCOMPARE(app.searchIndex(), 0);
}

void SearchTest::throughThePortal()
{
    PortalProcess portal;
    QVERIFY(portal.addUser(QStringLiteral("reader@example.org"), QStringLiteral("read-1"),
                           QStringLiteral("Acme"), QStringLiteral("Sales")));
    QVERIFY2(portal.addBook(QStringLiteral("Acme"), QStringLiteral("Sales"), QStringLiteral("Needles"),
                            plain, QStringLiteral("book-pass")),
             qPrintable(portal.errorText()));
    QVERIFY2(portal.start(), qPrintable(portal.errorText()));
    usePortalPort(portal.port());

    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(viewer.signIn(QStringLiteral("reader@example.org"), QStringLiteral("read-1")));
    QCOMPARE(app.bookcombo()->currentText(), QStringLiteral("Needles"));
    QCOMPARE(app.bookpasses().value(0), QStringLiteral("book-pass"));
    QVERIFY(openBook(viewer));
    QVERIFY(app.bookUrl().scheme() == QLatin1String("https"));

    QVERIFY(search(app, QStringLiteral("needle")));
    QCOMPARE(app.searchResults()->size(), 3);
    app.searchn()->click();
    app.searchn()->click();
    QCOMPARE(app.searchIndex(), 2);
    QCOMPARE(app.pdfView()->currentSelection()->page, 2);
    app.logout();
    QVERIFY(QTest::qWaitFor([&] { return app.guardValue() == 0; }, kWaitMs));
}

QTEST_MAIN(SearchTest)
#include "tst_search.moc"
