#include "PanelView.h"
#include "PdfView.h"
#include "ViewerHarness.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTest>

using namespace vk;

namespace {

constexpr int kWaitMs = 20000;
const QByteArray kServerPath = "/adminportal/pdfserverchk.php";
const QByteArray kUserPath = "/adminportal/pdfuserchk.php";
const QByteArray kStatusPath = "/adminportal/pdfloginupdate.php";

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
// through sign-in and exit.
class MainWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY(server = startCapturingPortal()); }
    void cleanup() { server.reset(); }
    void startUpState();
    void keyViewChainAndExitBeforeSignIn();
    void sessionMenuAndRequests();
    void secondSubmissionWhileCheckingIsIgnored();
    void serverCheckAnswer_data();
    void serverCheckAnswer();
    void realExitReportsGoneAndEndsWithZero();

private:
    QList<QByteArray> bodiesTo(const QByteArray &path) const;
    std::unique_ptr<CapturingTlsServer> server;
};

void MainWindowTest::startUpState()
{
    server->setSilent(kServerPath);
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QCOMPARE(viewer.window().windowTitle(), QStringLiteral("Velkarn PDF Viewer"));
    for (QWidget *view : std::initializer_list<QWidget *>{app.view1(), app.view2(), app.view3(), app.bookview(),
                                                          app.tooltip1()})
        QVERIFY(view->isHidden());
    QCOMPARE(menuItems(app), QStringLiteral("000"));
    const QAction *exit = app.submenu()->actions().value(4);
    QVERIFY(exit && exit->isEnabled() && exit->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_Q));
    QCOMPARE(app.pdfView()->scaleFactor(), 1.0);
    QCOMPARE(app.zoomcombo()->currentText(), QStringLiteral("1.0"));

    // The portal never answers: the server check stays outstanding.
    QTRY_COMPARE_WITH_TIMEOUT(server->requests().size(), 1, kWaitMs);
    QCOMPARE(app.guardValue(), quint8(1));
    QVERIFY(app.isServerTimerLive());
}

void MainWindowTest::keyViewChainAndExitBeforeSignIn()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QTRY_VERIFY_WITH_TIMEOUT(app.view3()->isVisible(), kWaitMs);
    viewer.window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&viewer.window()));
    QTRY_COMPARE(QApplication::focusWidget(), app.usertf());
    QTest::keyClick(app.usertf(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), app.passtf());
    QTest::keyClick(app.passtf(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), app.usertf());
    app.logonb()->setFocus();
    QTest::keyClick(app.logonb(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), app.usertf());

    // Leaving before any sign-in reports nothing.
    viewer.window().close();
    QVERIFY(viewer.exitedOnceWithZero());
    QCOMPARE(server->requests().size(), 1); // the server check alone
}

// Sign-in refused, accepted, logout, login panel again, exit: menu items and
// every request body along the way.
void MainWindowTest::sessionMenuAndRequests()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(viewer.submitLogin("a+b&c=d@x.y", "wrong"));
    QTRY_VERIFY_WITH_TIMEOUT(!app.isUserTimerLive(), kWaitMs);
    QCOMPARE(viewer.window().windowTitle(), QStringLiteral("Velkarn PDF Viewer - Failed Login"));
    QCOMPARE(menuItems(app), QStringLiteral("000"));
    QCOMPARE(bodiesTo(kUserPath), QList<QByteArray>{"POST user=a+b&c=d@x.y"});
    QVERIFY(bodiesTo(kStatusPath).isEmpty());
    // The shared request carried that body; the next server check carries none.
    app.checkserver();
    QTRY_COMPARE_WITH_TIMEOUT(bodiesTo(kServerPath), (QList<QByteArray>{"POST ", "POST "}), kWaitMs);

    QVERIFY(viewer.signIn("a+b&c=d@x.y", "pw"));
    QCOMPARE(menuItems(app), QStringLiteral("011"));
    QCOMPARE(bodiesTo("/adminportal/pdfbookchk.php"), QList<QByteArray>{"POST company=Acme&categoryname=Sales"});
    app.winAMenuItem2()->trigger();
    QCOMPARE(menuItems(app), QStringLiteral("100"));
    QVERIFY(app.bookview()->isHidden() && app.view3()->isHidden());
    QCOMPARE(viewer.window().windowTitle(), QStringLiteral("Velkarn PDF Viewer - Acme"));
    app.winAMenuItem()->trigger();
    QCOMPARE(menuItems(app), QStringLiteral("000"));
    QVERIFY(app.view3()->isVisible());
    QCOMPARE(QApplication::focusWidget(), app.usertf());

    // The accepted login outlives the logout, so leaving reports once more, and
    // the exit waits for that report.
    QTRY_COMPARE_WITH_TIMEOUT(bodiesTo(kStatusPath).size(), 2, kWaitMs);
    app.exitappnow();
    QVERIFY(viewer.exitedOnceWithZero());
    QCOMPARE(bodiesTo(kStatusPath), (QList<QByteArray>{"POST user=a+b&c=d@x.y&status=Y",
                                                       "POST user=a+b&c=d@x.y&status=N",
                                                       "POST user=a+b&c=d@x.y&status=N"}));
}

void MainWindowTest::secondSubmissionWhileCheckingIsIgnored()
{
    server->setSilent(kUserPath);
    LaunchedViewer viewer;
    QVERIFY(viewer.submitLogin("a@b.c", "pw"));
    QVERIFY(!viewer.app().logonb()->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(server->requests().size(), 2, kWaitMs);
    QTest::keyClick(viewer.app().passtf(), Qt::Key_Return);
    viewer.app().checkserver();
    QTRY_COMPARE_WITH_TIMEOUT(server->requests().size(), 3, kWaitMs);
    QCOMPARE(server->requests().last().path(), kServerPath);
}

QList<QByteArray> MainWindowTest::bodiesTo(const QByteArray &path) const
{
    QList<QByteArray> bodies;
    for (const CapturedRequest &request : server->requests()) {
        if (request.path() == path)
            bodies.append(request.method + ' ' + request.body);
    }
    return bodies;
}

void MainWindowTest::serverCheckAnswer_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("up");
    QTest::newRow("1") << QByteArray("1") << 200 << true;
    QTest::newRow("1 on an error status") << QByteArray(" 1\r\n") << 503 << true;
    QTest::newRow("0") << QByteArray("0") << 200 << false;
    QTest::newRow("error page") << QByteArray("<html>Bad Gateway</html>") << 502 << false;
}

void MainWindowTest::serverCheckAnswer()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, status);
    QFETCH(bool, up);
    server->setAnswer(kServerPath, answer, status);
    LaunchedViewer viewer;
    QTRY_VERIFY_WITH_TIMEOUT(!viewer.app().isServerTimerLive(), kWaitMs);
    QCOMPARE(viewer.app().view3()->isVisible(), up);
    QCOMPARE(viewer.window().windowTitle(), up ? "Velkarn PDF Viewer" : "Velkarn PDF Viewer - Server Down");
    QVERIFY(!viewer.app().winAMenuItem()->isEnabled());
    QCOMPARE(bodiesTo(kServerPath), QList<QByteArray>{"POST "});
}

void MainWindowTest::realExitReportsGoneAndEndsWithZero()
{
    QProcess viewer;
    viewer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    viewer.start(QStringLiteral(VELKARN_SIGNIN_EXIT_BIN), {"x@y.z", "pw"});
    if (!viewer.waitForFinished(60000)) {
        viewer.kill();
        viewer.waitForFinished(kWaitMs);
        QFAIL("the viewer did not end");
    }
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 0);
    QCOMPARE(bodiesTo(kStatusPath), (QList<QByteArray>{"POST user=x@y.z&status=Y", "POST user=x@y.z&status=N"}));
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
