#include "PdfFixtures.h"
#include "StderrCapture.h"
#include "ViewerHarness.h"

#include <QTemporaryDir>

using namespace vk;

namespace {

const QString kTitle = QStringLiteral("Velkarn PDF Viewer");
const QString kServerDown = QStringLiteral("Server Down");

} // namespace

// The viewer against a portal that misbehaves: texts too long to show, requests
// that end without an answer, book locations it must not read, downloads that
// never end.
class HostilePortalTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<CapturingTlsServer> server;

private slots:
    void init() { QVERIFY(server = startCapturingPortal()); }
    void cleanup() { server.reset(); }

    // The server, user and book checks unanswered in turn (the ways of getting none
    // are the URL session suite's): the viewer says so and asks again, or lets the
    // user; no earlier sign-in's books stay listed, nor can the empty list be opened.
    void unansweredChecks()
    {
        server->setReset(kServerPath);
        server->setReset(kUserPath);
        server->setAnswer(kBookPath, bookAnswer({{"https://h/old.pdf", "none"}}));
        LaunchedViewer viewer;
        AppDelegate &app = viewer.app();
        QTRY_COMPARE_WITH_TIMEOUT(viewer.window().windowTitle(), kTitle + " - " + kServerDown, kWaitMs);
        QVERIFY(app.view3()->isHidden());
        server->setAnswer(kServerPath, "1");
        QTRY_VERIFY_WITH_TIMEOUT(app.view3()->isVisible(), kWaitMs);
        QCOMPARE(viewer.window().windowTitle(), kTitle);

        QVERIFY(viewer.submitLogin("a@b.c", "pw"));
        QTRY_VERIFY_WITH_TIMEOUT(!app.isUserTimerLive(), kWaitMs);
        QCOMPARE(viewer.window().windowTitle(), kTitle + " - " + kServerDown);
        QCOMPARE(app.tooltip1()->text(), kServerDown);
        QVERIFY(app.tooltip1()->isVisible() && app.view3()->isVisible() && app.logonb()->isEnabled());
        QCOMPARE(app.guardValue(), quint8(0));
        QVERIFY(bodiesTo(*server, kStatusPath).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(app.tooltip1()->isHidden(), kWaitMs); // a message goes by itself
        server->setAnswer(kUserPath, loginAnswer());
        QTest::keyClick(app.passtf(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(app.bookview()->isVisible() && !app.isBookTimerLive(), kWaitMs);
        QCOMPARE(app.bookcombo()->count(), 1);

        app.logout();
        QVERIFY(viewer.waitForIdle());
        server->setReset(kBookPath);
        app.login();
        QVERIFY(viewer.signIn("a@b.c", "pw"));
        QCOMPARE(app.bookcombo()->count(), 0);
        QCOMPARE(app.tooltip1()->text(), kServerDown);
        const std::shared_ptr<PdfDocument> blank = app.document(); // the logout's
        app.bookbutton()->click();
        QVERIFY(app.bookview()->isVisible() && app.bookbutton()->isEnabled() && app.view1()->isHidden());
        QVERIFY(app.document() == blank && !app.isDownloading());
    }

    // Texts too long to show are cut for the window only (where, the shown-text
    // table says); a local file is refused (which schemes, the reader's suite says)
    // and ends no session. Each abandoned download must give its connection back,
    // or the portal's host runs out of them and even the sign-out never leaves.
    void misbehavingBookList()
    {
        QTemporaryDir dir;
        QVERIFY(PdfFixtures::writeFile(dir.filePath("local.pdf"), PdfFixtures::makePdf({"local"})));
        const QString local = QUrl::fromLocalFile(dir.filePath("local.pdf")).toString();
        const QByteArray trickle = "/books/trickle.pdf";
        const QString company(1 << 20, u'C');
        const QString longName = QString(299, u'n') + QStringLiteral("\U0001F4D6");
        const QString cut = longName.left(255) + QChar(0x2026);
        server->setTrickle(trickle, 200);
        server->setAnswer(kUserPath, loginAnswer(company));
        server->setAnswer(kBookPath,
                          bookAnswer({{server->baseUrl() + trickle, "none", longName}, {local, "none"}}));
        StderrCapture log;
        LaunchedViewer viewer;
        AppDelegate &app = viewer.app();
        QVERIFY(viewer.signIn("a@b.c", "pw"));
        QCOMPARE(app.company(), company);
        QCOMPARE(viewer.window().windowTitle(), kTitle + " - " + company.left(255) + QChar(0x2026));
        QCOMPARE(app.booknames(), (QStringList{longName, "Book"}));
        QCOMPARE(app.bookcombo()->itemText(0), cut);

        QVERIFY(viewer.openBook(1));
        QCOMPARE(app.pdfView()->placeholderText(), QStringLiteral("This book could not be opened"));
        QCOMPARE(log.linesWith("book location refused: scheme \"file\"").size(), 1);
        app.winAMenuItem3()->trigger();
        app.bookcombo()->setCurrentIndex(0);
        for (int round = 1; round <= 8; ++round) {
            app.bookbutton()->click();
            QCOMPARE(app.pdfView()->placeholderText(), cut);
            QTRY_COMPARE_WITH_TIMEOUT(bodiesTo(*server, trickle).size(), qsizetype(round), kWaitMs);
            app.winAMenuItem3()->trigger();
        }
        app.logout();
        const QByteArray gone = "POST user=a@b.c&status=N";
        QTRY_COMPARE_WITH_TIMEOUT(bodiesTo(*server, kStatusPath).value(1), gone, kWaitMs);
    }
};

QTEST_MAIN(HostilePortalTest)
#include "tst_hostileportal.moc"
