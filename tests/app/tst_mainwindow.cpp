#include "MessageLine.h"
#include "PanelView.h"
#include "PdfView.h"
#include "UserDefaults.h"
#include "ViewerHarness.h"

#include <QAction>
#include <QFile>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <unistd.h>

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

// Standard error of this process, caught in a file while it lives.
class StderrCapture
{
public:
    StderrCapture()
    {
        file.open();
        std::fflush(stderr);
        saved = ::dup(STDERR_FILENO);
        ::dup2(file.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }
    QString text()
    {
        restore();
        file.seek(0);
        return QString::fromUtf8(file.readAll());
    }

private:
    void restore()
    {
        if (saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
        saved = -1;
    }
    QTemporaryFile file;
    int saved = -1;
};

} // namespace

// The window, its panels and menu, and what it sends to a recording portal, byte
// for byte, through sign-in and exit.
class MainWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY(server = startCapturingPortal()); }
    void cleanup() { server.reset(); }
    void startUpStateAndLayout();
    void keyViewChainAndExitBeforeSignIn();
    void sessionMenuAndRequests();
    void secondSubmissionWhileCheckingIsIgnored();
    void serverCheckAnswer_data();
    void serverCheckAnswer();
    void realExitReportsGoneAndEndsWithZero();
    void diagnosticLines();

private:
    QList<QByteArray> bodiesTo(const QByteArray &path) const;
    std::unique_ptr<CapturingTlsServer> server;
};

void MainWindowTest::startUpStateAndLayout()
{
    server->setSilent(kServerPath);
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QCOMPARE(viewer.window().windowTitle(), QStringLiteral("Velkarn PDF Viewer"));
    QCOMPARE(viewer.window().minimumSize(), viewer.window().maximumSize());
    const QString fullScreenItem = QStringLiteral("NSFullScreenMenuItemEverywhere");
    QVERIFY(UserDefaults::standard().contains(fullScreenItem) && !UserDefaults::standard().boolForKey(fullScreenItem));
    for (QWidget *view : std::initializer_list<QWidget *>{app.view1(), app.view2(), app.view3(), app.bookview(),
                                                          app.tooltip1()})
        QVERIFY(view->isHidden());
    QCOMPARE(menuItems(app), QStringLiteral("000"));
    const QAction *exit = app.submenu()->actions().value(4);
    QVERIFY(exit && exit->isEnabled() && exit->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_Q));
    QCOMPARE(app.pdfView()->scaleFactor(), 1.0);
    QCOMPARE(app.zoomcombo()->count(), 7);
    QCOMPARE(app.zoomcombo()->currentText(), QStringLiteral("1.0"));

    // The portal never answers: the server check stays outstanding.
    QTRY_COMPARE_WITH_TIMEOUT(server->requests().size(), 1, kWaitMs);
    QCOMPARE(app.guardValue(), quint8(1));
    QVERIFY(app.isServerTimerLive());

    QCOMPARE(viewer.window().centralWidget()->size(), QSize(900, 680));
    const QList<QPair<QWidget *, QRect>> frames{
        {app.view1(), {0, 40, 899, 640}},    {app.pdfView(), {0, 0, 899, 640}},
        {app.view2(), {0, 0, 899, 40}},      {app.view3(), {300, 200, 200, 80}},
        {app.bookview(), {250, 200, 300, 80}}, {app.tooltip1(), {330, 160, 200, 20}},
        {app.zoomcombo(), {250, 20, 58, 25}}, {app.searchtv(), {440, 23, 158, 15}},
        {app.logonb(), {80, 58, 60, 17}},    {app.bookbutton(), {120, 50, 70, 20}}};
    for (const auto &[widget, frame] : frames)
        QCOMPARE(widget->geometry(), frame);

    // The message line lies below the other four top-level views.
    QWidgetList order;
    for (QObject *child : viewer.window().centralWidget()->children()) {
        if (child->isWidgetType())
            order.append(static_cast<QWidget *>(child));
    }
    QCOMPARE(order, (QWidgetList{app.tooltip1(), app.view1(), app.view2(), app.view3(), app.bookview()}));

    // The panels paint their own orange background and 2-point black border.
    const QRgb orange = QColor::fromRgbF(1.0, 0.5, 0.0).rgba();
    app.view3()->setHidden(false);
    const QImage panel = app.view3()->grab().toImage();
    QCOMPARE(panel.pixelColor(195, 40).rgba(), orange);
    QCOMPARE(panel.pixelColor(1, 40).rgba(), QColor(Qt::black).rgba());
    QCOMPARE(panel.pixelColor(2, 40).rgba(), orange);
    QCOMPARE(static_cast<MessageLine *>(app.tooltip1())->borderColor(), QColor(Qt::blue));
    QCOMPARE(app.usertfl()->palette().color(QPalette::WindowText), QColor(Qt::blue));
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
    QCOMPARE(viewer.exitCalls, 1);
    QCOMPARE(viewer.exitStatus, 0);
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
    QCOMPARE(viewer.exitCalls, 1);
    QCOMPARE(viewer.exitStatus, 0);
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

// The log lines a support person greps for keep their exact form.
void MainWindowTest::diagnosticLines()
{
    server->setSilent(kServerPath);
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    viewer.window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer.window()));
    StderrCapture capture;
    // y counts up from the bottom of the 680-point content area.
    QTest::mouseClick(viewer.window().centralWidget(), Qt::LeftButton, {}, QPoint(20, 30));
    app.searchPressedn();
    app.tvaction();
    const QString log = capture.text();
    QVERIFY2(log.contains(QStringLiteral("] Clicked 20.000000 650.000000\n")), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("] rcount=0, b4fcount=0\n")), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("] enter tv=tvaction:\n")), qPrintable(log));
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
