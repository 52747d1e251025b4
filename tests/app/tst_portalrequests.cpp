#include "CapturingTlsServer.h"
#include "PanelView.h"
#include "TestCertificates.h"
#include "ViewerHarness.h"
#include "velkarn.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

namespace {

constexpr int kWaitMs = 20000;
const QByteArray kServerPath = "/adminportal/pdfserverchk.php";
const QByteArray kUserPath = "/adminportal/pdfuserchk.php";
const QByteArray kBookPath = "/adminportal/pdfbookchk.php";
const QByteArray kStatusPath = "/adminportal/pdfloginupdate.php";

QList<CapturedRequest> requestsTo(const CapturingTlsServer &server, const QByteArray &path)
{
    QList<CapturedRequest> found;
    for (const CapturedRequest &request : server.requests()) {
        if (request.path() == path)
            found.append(request);
    }
    return found;
}

QByteArray acceptedAnswer(const QString &password)
{
    return "NYYAcme^^Sales^^" + velkarn().encodestr(password).toUtf8();
}

} // namespace

class PortalRequestsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void serverCheckAnswer_data();
    void serverCheckAnswer();
    void userCheckSendsTheAddressAsTyped();
    void acceptedLoginReportsOnceAndLogoutAndExitReportGone();
    void serverCheckCarriesNoBodyAfterOneThatHad();
    void exitBeforeLoginSendsNothing();
    void realExitReportsGoneAndEndsWithZero();

private:
    std::unique_ptr<CapturingTlsServer> server;
};

void PortalRequestsTest::initTestCase()
{
    testCertificates();
}

void PortalRequestsTest::init()
{
    const TestCertificates &certificates = testCertificates();
    server = std::make_unique<CapturingTlsServer>(certificates.serverCertificatePath(),
                                                  certificates.serverKeyPath());
    QVERIFY2(server->isListening(), qPrintable(server->errorText()));
    usePortalPort(server->port());
}

void PortalRequestsTest::cleanup()
{
    server.reset();
}

void PortalRequestsTest::serverCheckAnswer_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("up");
    QTest::newRow("1") << QByteArray("1") << 200 << true;
    QTest::newRow("white space and line break") << QByteArray(" 1\r\n") << 200 << true;
    QTest::newRow("error status with 1") << QByteArray("1") << 503 << true;
    QTest::newRow("0") << QByteArray("0") << 200 << false;
    QTest::newRow("2") << QByteArray("2") << 200 << false;
    QTest::newRow("empty") << QByteArray() << 200 << false;
    QTest::newRow("error page") << QByteArray("<html>Bad Gateway</html>") << 502 << false;
    QTest::newRow("not UTF-8") << QByteArray("1\xff") << 200 << false;
}

void PortalRequestsTest::serverCheckAnswer()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, status);
    QFETCH(bool, up);
    server->setAnswer(kServerPath, answer, status);
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QTRY_VERIFY_WITH_TIMEOUT(!app.isServerTimerLive(), kWaitMs);
    QCOMPARE(app.view3()->isVisible(), up);
    QCOMPARE(viewer.window().windowTitle(),
             up ? QStringLiteral("Velkarn PDF Viewer") : QStringLiteral("Velkarn PDF Viewer - Server Down"));
    if (up)
        QCOMPARE(QApplication::focusWidget(), app.usertf());
    QVERIFY(!app.winAMenuItem()->isEnabled());

    const QList<CapturedRequest> checks = requestsTo(*server, kServerPath);
    QCOMPARE(checks.size(), 1);
    QCOMPARE(checks.first().method, QByteArray("POST"));
    QVERIFY(checks.first().body.isEmpty());
}

void PortalRequestsTest::userCheckSendsTheAddressAsTyped()
{
    server->setAnswer(kUserPath, "NNNx^^y^^00");
    LaunchedViewer viewer;
    QVERIFY(viewer.submitLogin(QStringLiteral("a+b&c=d@x.y"), QStringLiteral("p w")));
    QTRY_VERIFY_WITH_TIMEOUT(!viewer.app().isUserTimerLive(), kWaitMs);

    const QList<CapturedRequest> checks = requestsTo(*server, kUserPath);
    QCOMPARE(checks.size(), 1);
    QCOMPARE(checks.first().method, QByteArray("POST"));
    QCOMPARE(checks.first().body, QByteArray("user=a+b&c=d@x.y"));
    QVERIFY(requestsTo(*server, kStatusPath).isEmpty());
}

void PortalRequestsTest::acceptedLoginReportsOnceAndLogoutAndExitReportGone()
{
    server->setAnswer(kUserPath, acceptedAnswer(QStringLiteral("pw")));
    server->setAnswer(kBookPath, "*START*");
    LaunchedViewer viewer;
    QVERIFY(viewer.signIn(QStringLiteral("reader@example.org"), QStringLiteral("pw")));
    QTRY_COMPARE_WITH_TIMEOUT(requestsTo(*server, kStatusPath).size(), 1, kWaitMs);
    QCOMPARE(requestsTo(*server, kStatusPath).first().body,
             QByteArray("user=reader@example.org&status=Y"));
    QCOMPARE(requestsTo(*server, kBookPath).first().body, QByteArray("company=Acme&categoryname=Sales"));

    viewer.app().logout();
    QTRY_COMPARE_WITH_TIMEOUT(requestsTo(*server, kStatusPath).size(), 2, kWaitMs);
    QCOMPARE(requestsTo(*server, kStatusPath).last().body, QByteArray("user=reader@example.org&status=N"));

    // The accepted login is remembered after the logout, so leaving reports again;
    // the exit waits for that report before it ends the process.
    viewer.app().exitappnow();
    QCOMPARE(viewer.exitCalls, 1);
    QCOMPARE(viewer.exitStatus, 0);
    QCOMPARE(requestsTo(*server, kStatusPath).size(), 3);
    QCOMPARE(requestsTo(*server, kStatusPath).last().body, QByteArray("user=reader@example.org&status=N"));
    QCOMPARE(requestsTo(*server, kUserPath).size(), 1);
    QCOMPARE(requestsTo(*server, kBookPath).size(), 1);
}

void PortalRequestsTest::serverCheckCarriesNoBodyAfterOneThatHad()
{
    server->setAnswer(kUserPath, "NNN^^^^");
    LaunchedViewer viewer;
    QVERIFY(viewer.submitLogin(QStringLiteral("someone@example.org"), QStringLiteral("x")));
    QTRY_VERIFY_WITH_TIMEOUT(!viewer.app().isUserTimerLive(), kWaitMs);
    QCOMPARE(viewer.app().RequestURL().httpBody, std::optional<QByteArray>("user=someone@example.org"));

    viewer.app().checkserver();
    QTRY_COMPARE_WITH_TIMEOUT(requestsTo(*server, kServerPath).size(), 2, kWaitMs);
    const CapturedRequest again = requestsTo(*server, kServerPath).last();
    QCOMPARE(again.method, QByteArray("POST"));
    QVERIFY(again.body.isEmpty());
    QVERIFY(again.header("Content-Length").isEmpty() || again.header("Content-Length") == "0");
}

void PortalRequestsTest::exitBeforeLoginSendsNothing()
{
    LaunchedViewer viewer;
    QTRY_VERIFY_WITH_TIMEOUT(viewer.app().view3()->isVisible(), kWaitMs);
    viewer.window().close();
    QCOMPARE(viewer.exitCalls, 1);
    QCOMPARE(viewer.exitStatus, 0);
    QVERIFY(requestsTo(*server, kStatusPath).isEmpty());
}

void PortalRequestsTest::realExitReportsGoneAndEndsWithZero()
{
    server->setAnswer(kUserPath, acceptedAnswer(QStringLiteral("pw")));
    server->setAnswer(kBookPath, "*START*");
    QProcess viewer;
    viewer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    viewer.start(QStringLiteral(VELKARN_SIGNIN_EXIT_BIN), {QStringLiteral("x@y.z"), QStringLiteral("pw")});
    QVERIFY(viewer.waitForStarted(kWaitMs));
    if (!viewer.waitForFinished(60000)) {
        viewer.kill();
        viewer.waitForFinished(kWaitMs);
        QFAIL("the viewer did not end");
    }
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 0);
    const QList<CapturedRequest> reports = requestsTo(*server, kStatusPath);
    QCOMPARE(reports.size(), 2);
    QCOMPARE(reports.first().body, QByteArray("user=x@y.z&status=Y"));
    QCOMPARE(reports.last().body, QByteArray("user=x@y.z&status=N"));
}

QTEST_MAIN(PortalRequestsTest)
#include "tst_portalrequests.moc"
