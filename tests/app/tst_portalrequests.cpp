#include "PanelView.h"
#include "ViewerHarness.h"

#include <QAction>
#include <QProcess>
#include <QTest>

namespace {

constexpr int kWaitMs = 20000;
const QByteArray kServerPath = "/adminportal/pdfserverchk.php";
const QByteArray kUserPath = "/adminportal/pdfuserchk.php";
const QByteArray kStatusPath = "/adminportal/pdfloginupdate.php";

} // namespace

// What the viewer sends to the portal, byte for byte, and how it reads the server check.
class PortalRequestsTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY(server = startCapturingPortal()); }
    void cleanup() { server.reset(); }
    void serverCheckAnswer_data();
    void serverCheckAnswer();
    void userCheckSendsTheAddressAsTyped();
    void signedInUserIsReportedOnLoginLogoutAndExit();
    void exitBeforeLoginSendsNothing();
    void realExitReportsGoneAndEndsWithZero();

private:
    QList<QByteArray> bodiesTo(const QByteArray &path) const;
    std::unique_ptr<CapturingTlsServer> server;
};

QList<QByteArray> PortalRequestsTest::bodiesTo(const QByteArray &path) const
{
    QList<QByteArray> bodies;
    for (const CapturedRequest &request : server->requests()) {
        if (request.path() == path)
            bodies.append(request.method + ' ' + request.body);
    }
    return bodies;
}

void PortalRequestsTest::serverCheckAnswer_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("up");
    QTest::newRow("1") << QByteArray("1") << 200 << true;
    QTest::newRow("1 on an error status") << QByteArray(" 1\r\n") << 503 << true;
    QTest::newRow("0") << QByteArray("0") << 200 << false;
    QTest::newRow("error page") << QByteArray("<html>Bad Gateway</html>") << 502 << false;
}

void PortalRequestsTest::serverCheckAnswer()
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

void PortalRequestsTest::userCheckSendsTheAddressAsTyped()
{
    LaunchedViewer viewer;
    QVERIFY(viewer.submitLogin("a+b&c=d@x.y", "not it"));
    QTRY_VERIFY_WITH_TIMEOUT(!viewer.app().isUserTimerLive(), kWaitMs);
    QCOMPARE(bodiesTo(kUserPath), QList<QByteArray>{"POST user=a+b&c=d@x.y"});
    QVERIFY(bodiesTo(kStatusPath).isEmpty());

    // The shared request carried that body; the next server check carries none.
    viewer.app().checkserver();
    QTRY_COMPARE_WITH_TIMEOUT(bodiesTo(kServerPath), (QList<QByteArray>{"POST ", "POST "}), kWaitMs);
}

void PortalRequestsTest::signedInUserIsReportedOnLoginLogoutAndExit()
{
    LaunchedViewer viewer;
    QVERIFY(viewer.signIn("reader@example.org", "pw"));
    QTRY_COMPARE_WITH_TIMEOUT(bodiesTo(kStatusPath).size(), 1, kWaitMs);
    QCOMPARE(bodiesTo("/adminportal/pdfbookchk.php"), QList<QByteArray>{"POST company=Acme&categoryname=Sales"});

    viewer.app().logout();
    QTRY_COMPARE_WITH_TIMEOUT(bodiesTo(kStatusPath).size(), 2, kWaitMs);
    // The accepted login outlives the logout, so leaving reports once more, and
    // the exit waits for that report.
    viewer.app().exitappnow();
    QCOMPARE(viewer.exitCalls, 1);
    QCOMPARE(viewer.exitStatus, 0);
    QCOMPARE(bodiesTo(kStatusPath), (QList<QByteArray>{"POST user=reader@example.org&status=Y",
                                                       "POST user=reader@example.org&status=N",
                                                       "POST user=reader@example.org&status=N"}));
    QCOMPARE(bodiesTo(kUserPath).size(), 1);
}

void PortalRequestsTest::exitBeforeLoginSendsNothing()
{
    LaunchedViewer viewer;
    QTRY_VERIFY_WITH_TIMEOUT(viewer.app().view3()->isVisible(), kWaitMs);
    viewer.window().close();
    QCOMPARE(viewer.exitCalls, 1);
    QCOMPARE(viewer.exitStatus, 0);
    QVERIFY(bodiesTo(kStatusPath).isEmpty());
}

void PortalRequestsTest::realExitReportsGoneAndEndsWithZero()
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

QTEST_MAIN(PortalRequestsTest)
#include "tst_portalrequests.moc"
