#include "PdfFixtures.h"
#include "ViewerHarness.h"

#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>

using namespace vk;

namespace {

const QStringList kBooks{"Zebra Manual", "Alpha Guide", "Needles"};
// Reserved characters in the address must survive the portal's form decoding.
const QString kReader = QStringLiteral("dee+x&y@example.org");

// The enabled state of "Action" items 0, 1 and 2, as "010".
QString menuItems(AppDelegate &app)
{
    QString state;
    for (QAction *item : {app.winAMenuItem(), app.winAMenuItem2(), app.winAMenuItem3()})
        state += item->isEnabled() ? u'1' : u'0';
    return state;
}

} // namespace

// What the window shows and what it sends to a recording portal, byte for byte,
// through sign-in and exit; then refusals, the book list and the ways of leaving
// against a real portal.
class MainWindowTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<CapturingTlsServer> server;

    QList<QByteArray> bodiesTo(const QByteArray &path) const { return ::bodiesTo(*server, path); }

private slots:
    void init() { QVERIFY(server = startCapturingPortal()); }
    void cleanup() { server.reset(); }

    // Before the portal has answered nothing can be chosen but Exit; then the login
    // panel takes the keys, and leaving from there reports nothing.
    void beforeSignIn()
    {
        LaunchedViewer viewer;
        AppDelegate &app = viewer.app();
        QVERIFY(app.view3()->isHidden() && app.bookview()->isHidden());
        QCOMPARE(menuItems(app), QStringLiteral("000"));
        QVERIFY(app.submenu()->actions().value(4)->isEnabled());

        QTRY_VERIFY_WITH_TIMEOUT(app.view3()->isVisible(), kWaitMs);
        viewer.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&viewer.window()));
        QTRY_COMPARE(QApplication::focusWidget(), app.usertf());
        using Step = std::pair<QWidget *, QWidget *>;
        for (auto [from, to] : {Step{app.usertf(), app.passtf()}, Step{app.passtf(), app.usertf()},
                                Step{app.logonb(), app.usertf()}}) {
            from->setFocus();
            QTest::keyClick(from, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), to);
        }

        viewer.window().close();
        QVERIFY(viewer.exitedOnceWithZero());
        QCOMPARE(server->requests().size(), 1); // the server check alone
    }

    // Sign-in refused, accepted, logout, login panel again, exit: menu items and
    // every request body along the way. Return while a check is out sends nothing.
    void sessionMenuAndRequests()
    {
        LaunchedViewer viewer;
        AppDelegate &app = viewer.app();
        QVERIFY(viewer.submitLogin("a+b&c=d@x.y", "wrong"));
        QVERIFY(!app.logonb()->isEnabled());
        QTest::keyClick(app.passtf(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(!app.isUserTimerLive(), kWaitMs);
        QCOMPARE(menuItems(app), QStringLiteral("000"));
        QCOMPARE(bodiesTo(kUserPath), QList<QByteArray>{"POST user=a+b&c=d@x.y"});
        // The shared request carried that body; the next server check carries none.
        app.checkserver();
        QTRY_COMPARE_WITH_TIMEOUT(bodiesTo(kServerPath), (QList<QByteArray>{"POST ", "POST "}), kWaitMs);

        QVERIFY(viewer.signIn("a+b&c=d@x.y", "pw"));
        QCOMPARE(menuItems(app), QStringLiteral("011"));
        QCOMPARE(bodiesTo(kBookPath), QList<QByteArray>{"POST company=Acme&categoryname=Sales"});
        app.winAMenuItem2()->trigger();
        QCOMPARE(menuItems(app), QStringLiteral("100"));
        QVERIFY(app.bookview()->isHidden() && app.view3()->isHidden());
        app.winAMenuItem()->trigger();
        QCOMPARE(menuItems(app), QStringLiteral("000"));
        QVERIFY(app.view3()->isVisible());

        // The accepted login outlives the logout, so leaving reports once more, and
        // the exit waits for that report.
        QTRY_COMPARE_WITH_TIMEOUT(bodiesTo(kStatusPath).size(), 2, kWaitMs);
        app.exitappnow();
        QVERIFY(viewer.exitedOnceWithZero());
        QCOMPARE(bodiesTo(kStatusPath), (QList<QByteArray>{"POST user=a+b&c=d@x.y&status=Y",
                                                           "POST user=a+b&c=d@x.y&status=N",
                                                           "POST user=a+b&c=d@x.y&status=N"}));
    }

    void realExitReportsGoneAndEndsWithZero()
    {
        QProcess viewer;
        viewer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        viewer.start(QStringLiteral(VELKARN_SIGNIN_EXIT_BIN), {"x@y.z", "pw"});
        QVERIFY(viewer.waitForFinished(60000)); // if not, going out of scope kills it
        QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
        QCOMPARE(viewer.exitCode(), 0);
        QCOMPARE(bodiesTo(kStatusPath),
                 (QList<QByteArray>{"POST user=x@y.z&status=Y", "POST user=x@y.z&status=N"}));
    }

    // Against a real portal: refusals say why and leave the panel as it was; a
    // second viewer is refused the account until the first has left, by logout
    // or by closing, as the portal takes the "N" for it. The book the portal
    // keeps comes from the portal itself, sealed with the password it gives.
    void realPortalSession()
    {
        QTemporaryDir dir;
        const QByteArray stored = PdfFixtures::makePdf(QStringList{"needles", "haystack"});
        QVERIFY(PdfFixtures::writeFile(dir.filePath("n.pdf"), stored));
        PortalProcess portal;
        portal.admin({"company", "add", "--name", "Acme"});
        QCOMPARE(portal.admin({"user", "add", "--email", kReader, "--company", "Acme", "--category", "Sales",
                               "--password", "dee-pass"}).exitCode, 0);
        const QList<QStringList> books{{"--url", "https://books.example/z.pdf"},
                                       {"--url", "https://books.example/a.pdf"},
                                       {"--file", dir.filePath("n.pdf"), "--password", "book-pass"}};
        for (int i = 0; i < books.size(); ++i) {
            const QStringList add{"book", "add", "--company", "Acme", "--category", "Sales", "--name",
                                  kBooks.at(i)};
            QCOMPARE(portal.admin(add + books.at(i)).exitCode, 0);
        }
        QVERIFY2(startRealPortal(portal), portal.errors().constData());
        LaunchedViewer viewer;
        AppDelegate &app = viewer.app();
        const QString title = QStringLiteral("Velkarn PDF Viewer");
        // Nothing is sent for the first two.
        const QList<QStringList> refusals{{"", "pw", "Please enter User"},
                                          {kReader, "", "Please enter Password"},
                                          {kReader, "Dee-pass", "Login Failed, please re-enter"}};
        for (const QStringList &refusal : refusals) {
            QVERIFY(viewer.submitLogin(refusal.at(0), refusal.at(1)));
            QTRY_VERIFY_WITH_TIMEOUT(!app.isUserTimerLive(), kWaitMs);
            QCOMPARE(viewer.window().windowTitle(),
                     refusal.at(2).startsWith("Please") ? title : title + " - Failed Login");
            QCOMPARE(app.tooltip1()->text(), refusal.at(2));
            QVERIFY(app.tooltip1()->isVisible() && app.view3()->isVisible() && app.logonb()->isEnabled());
            QCOMPARE(app.passtf()->text(), refusal.at(1));
        }

        signInAndList(viewer);
        LaunchedViewer other;
        QVERIFY(other.submitLogin(kReader, "wrong"));
        QTRY_COMPARE_WITH_TIMEOUT(other.app().tooltip1()->text(), QString("User Already Logged On"), kWaitMs);
        app.logout();
        QVERIFY(viewer.waitForIdle());
        app.login();
        signInAndList(viewer);
        viewer.window().close();
        QVERIFY(viewer.exitedOnceWithZero());
        signInAndList(other);

        AppDelegate &reader = other.app();
        QCOMPARE(reader.bookpasses().value(2), QStringLiteral("book-pass"));
        QVERIFY(other.openBook(2));
        QCOMPARE(reader.bookUrl().scheme(), QStringLiteral("https"));
        QCOMPARE(reader.document()->state(), PdfDocument::State::Ready);
        QVERIFY(other.search("haystack"));
        QCOMPARE(reader.pdfView()->currentSelection()->page, 1);
    }

private:
    // The title, the panels and the list, in the portal's order and refilled
    // rather than appended to at each sign-in.
    void signInAndList(LaunchedViewer &viewer)
    {
        AppDelegate &app = viewer.app();
        QVERIFY(viewer.signIn(kReader, "dee-pass"));
        QCOMPARE(viewer.window().windowTitle(), QStringLiteral("Velkarn PDF Viewer - Acme"));
        QVERIFY(app.view3()->isHidden() && app.bookbutton()->isEnabled() && !app.logonb()->isEnabled());
        QStringList shown;
        for (int i = 0; i < app.bookcombo()->count(); ++i)
            shown.append(app.bookcombo()->itemText(i));
        QCOMPARE(shown, kBooks);
        QCOMPARE(app.bookcombo()->currentIndex(), 0);
        QCOMPARE(app.booklocs().value(1), QStringLiteral("https://books.example/a.pdf"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
