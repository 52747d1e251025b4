#include "CapturingTlsServer.h"
#include "Frames.h"
#include "MainInterface.h"
#include "MessageLine.h"
#include "PanelView.h"
#include "PdfView.h"
#include "StderrCapture.h"
#include "TestCertificates.h"
#include "UserDefaults.h"
#include "ViewerHarness.h"
#include "velkarn.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

namespace {

constexpr int kWaitMs = 20000;
const QByteArray kServerPath = "/adminportal/pdfserverchk.php";
const QByteArray kUserPath = "/adminportal/pdfuserchk.php";
const QByteArray kBookPath = "/adminportal/pdfbookchk.php";

using Getter = std::function<QWidget *(AppDelegate &)>;

struct MenuState
{
    bool item0, item1, item2;
};

MenuState menuState(AppDelegate &app)
{
    return {app.winAMenuItem()->isEnabled(), app.winAMenuItem2()->isEnabled(),
            app.winAMenuItem3()->isEnabled()};
}

bool operator==(const MenuState &a, const MenuState &b)
{
    return a.item0 == b.item0 && a.item1 == b.item1 && a.item2 == b.item2;
}

char *toString(const MenuState &s)
{
    return qstrdup(QByteArray("items ") + (s.item0 ? "1" : "0") + (s.item1 ? "1" : "0")
                   + (s.item2 ? "1" : "0"));
}

} // namespace

Q_DECLARE_METATYPE(Getter)

class MainWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void bottomLeftFrames_data();
    void bottomLeftFrames();
    void startUpState();
    void frames_data();
    void frames();
    void stackingAndLook();
    void keyViewChain();
    void emptyFieldMessages_data();
    void emptyFieldMessages();
    void menuItemsFollowTheSession();
    void secondSubmissionWhileCheckingIsIgnored();
    void clicksOnTheBackgroundAreLogged();

private:
    std::unique_ptr<CapturingTlsServer> server;
};

void MainWindowTest::initTestCase()
{
    testCertificates();
}

void MainWindowTest::init()
{
    const TestCertificates &certificates = testCertificates();
    server = std::make_unique<CapturingTlsServer>(certificates.serverCertificatePath(),
                                                  certificates.serverKeyPath());
    QVERIFY2(server->isListening(), qPrintable(server->errorText()));
    usePortalPort(server->port());
}

void MainWindowTest::cleanup()
{
    server.reset();
}

void MainWindowTest::bottomLeftFrames_data()
{
    QTest::addColumn<int>("parentHeight");
    QTest::addColumn<QRect>("frame"); // bottom-left: x, y, width, height
    QTest::addColumn<QRect>("widget");
    QTest::newRow("at the bottom") << 100 << QRect(0, 0, 10, 20) << QRect(0, 80, 10, 20);
    QTest::newRow("at the top") << 100 << QRect(5, 80, 10, 20) << QRect(5, 0, 10, 20);
    QTest::newRow("below the parent") << 40 << QRect(250, -5, 58, 25) << QRect(250, 20, 58, 25);
    QTest::newRow("above the parent") << 40 << QRect(0, 50, 10, 10) << QRect(0, -20, 10, 10);
}

void MainWindowTest::bottomLeftFrames()
{
    QFETCH(int, parentHeight);
    QFETCH(QRect, frame);
    QFETCH(QRect, widget);
    QCOMPARE(bottomLeftFrame(parentHeight, frame.x(), frame.y(), frame.width(), frame.height()), widget);
}

void MainWindowTest::startUpState()
{
    server->setSilent(kServerPath);
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();

    QCOMPARE(viewer.window().windowTitle(), QStringLiteral("Velkarn PDF Viewer"));
    QCOMPARE(viewer.window().centralWidget()->size(), kContentSize);
    QCOMPARE(viewer.window().minimumSize(), viewer.window().maximumSize());
    QVERIFY(UserDefaults::standard().contains(QStringLiteral("NSFullScreenMenuItemEverywhere")));
    QVERIFY(!UserDefaults::standard().boolForKey(QStringLiteral("NSFullScreenMenuItemEverywhere")));

    for (QWidget *view : {static_cast<QWidget *>(app.view1()), static_cast<QWidget *>(app.view2()),
                          static_cast<QWidget *>(app.view3()), static_cast<QWidget *>(app.bookview()),
                          static_cast<QWidget *>(app.tooltip1())})
        QVERIFY(view->isHidden());
    QCOMPARE(menuState(app), (MenuState{false, false, false}));
    const QList<QAction *> items = app.submenu()->actions();
    QCOMPARE(items.size(), 5);
    QVERIFY(items.at(3)->isSeparator());
    QCOMPARE(items.at(4)->text(), QStringLiteral("Exit"));
    QVERIFY(items.at(4)->isEnabled());
    QCOMPARE(items.at(4)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));

    for (QPushButton *button : {app.first(), app.prev(), app.next(), app.last(), app.searchf(),
                                app.searchp(), app.searchn(), app.logonb(), app.bookbutton()})
        QVERIFY(button->isEnabled());
    QVERIFY(app.usertf()->text().isEmpty() && app.passtf()->text().isEmpty()
            && app.searchtv()->text().isEmpty() && app.tooltip1()->text().isEmpty());
    QCOMPARE(app.passtf()->echoMode(), QLineEdit::Password);
    QCOMPARE(app.searchtv()->placeholderText(), QStringLiteral("Search Pattern ..."));

    QVERIFY(!app.pdfView()->document());
    QCOMPARE(app.pdfView()->scaleFactor(), 1.0);
    QCOMPARE(app.zoomcombo()->count(), 7);
    QCOMPARE(app.zoomcombo()->currentText(), QStringLiteral("1.0"));
    QCOMPARE(app.bookcount(), 0);
    QCOMPARE(app.filename1(), QStringLiteral("https://samples.velkarn.example/tester/testpage3.pdf"));
    QCOMPARE(app.pass1(), QStringLiteral("kilo52"));

    // The portal never answers: the server check stays outstanding.
    QTRY_COMPARE_WITH_TIMEOUT(server->requests().size(), 1, kWaitMs);
    QCOMPARE(app.guardValue(), quint8(1));
    QVERIFY(app.isServerTimerLive());
    QVERIFY(app.view3()->isHidden());
}

void MainWindowTest::frames_data()
{
    QTest::addColumn<Getter>("widget");
    QTest::addColumn<QRect>("geometry"); // top-left, as Qt places it for a 900 x 680 content area
    QTest::newRow("view1") << Getter([](AppDelegate &a) { return a.view1(); }) << QRect(0, 40, 899, 640);
    QTest::newRow("pdfView") << Getter([](AppDelegate &a) { return a.pdfView(); }) << QRect(0, 0, 899, 640);
    QTest::newRow("view2") << Getter([](AppDelegate &a) { return a.view2(); }) << QRect(0, 0, 899, 40);
    QTest::newRow("view3") << Getter([](AppDelegate &a) { return a.view3(); }) << QRect(300, 200, 200, 80);
    QTest::newRow("bookview") << Getter([](AppDelegate &a) { return a.bookview(); }) << QRect(250, 200, 300, 80);
    QTest::newRow("tooltip1") << Getter([](AppDelegate &a) { return a.tooltip1(); }) << QRect(330, 160, 200, 20);
    QTest::newRow("first") << Getter([](AppDelegate &a) { return a.first(); }) << QRect(0, 20, 40, 20);
    QTest::newRow("prev") << Getter([](AppDelegate &a) { return a.prev(); }) << QRect(40, 20, 40, 20);
    QTest::newRow("zoomcombo") << Getter([](AppDelegate &a) { return a.zoomcombo(); }) << QRect(250, 20, 58, 25);
    QTest::newRow("zooml") << Getter([](AppDelegate &a) { return a.zooml(); }) << QRect(200, 21, 50, 19);
    QTest::newRow("searchtv") << Getter([](AppDelegate &a) { return a.searchtv(); }) << QRect(440, 23, 158, 15);
    QTest::newRow("searchn") << Getter([](AppDelegate &a) { return a.searchn(); }) << QRect(420, 20, 20, 20);
    QTest::newRow("usertf") << Getter([](AppDelegate &a) { return a.usertf(); }) << QRect(70, 10, 120, 20);
    QTest::newRow("passtfl") << Getter([](AppDelegate &a) { return a.passtfl(); }) << QRect(10, 32, 50, 20);
    QTest::newRow("logonb") << Getter([](AppDelegate &a) { return a.logonb(); }) << QRect(80, 58, 60, 17);
    QTest::newRow("bookcombo") << Getter([](AppDelegate &a) { return a.bookcombo(); }) << QRect(20, 15, 270, 25);
    QTest::newRow("bookbutton") << Getter([](AppDelegate &a) { return a.bookbutton(); }) << QRect(120, 50, 70, 20);
}

void MainWindowTest::frames()
{
    QFETCH(Getter, widget);
    QFETCH(QRect, geometry);
    server->setSilent(kServerPath);
    LaunchedViewer viewer;
    QCOMPARE(widget(viewer.app())->geometry(), geometry);
}

void MainWindowTest::stackingAndLook()
{
    server->setSilent(kServerPath);
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();

    QList<QWidget *> order;
    for (QObject *child : viewer.window().centralWidget()->children()) {
        if (auto *widget = qobject_cast<QWidget *>(child))
            order.append(widget);
    }
    const QList<QWidget *> expected{app.tooltip1(), app.view1(), app.view2(), app.view3(), app.bookview()};
    QCOMPARE(order, expected);

    const QColor orange = QColor::fromRgbF(1.0, 0.5, 0.0);
    const QColor blue = QColor::fromRgbF(0.0, 0.0, 1.0);
    QCOMPARE(app.view3()->backgroundColor(), orange);
    QCOMPARE(app.view3()->borderWidth(), 2.0);
    QCOMPARE(app.bookview()->backgroundColor(), orange);
    QCOMPARE(app.view1()->borderWidth(), 2.0);
    QVERIFY(!app.view2()->backgroundColor().isValid());
    QCOMPARE(app.view2()->borderWidth(), 0.0);
    auto *message = qobject_cast<MessageLine *>(app.tooltip1());
    QVERIFY(message);
    QCOMPARE(message->borderColor(), blue);
    QCOMPARE(message->backgroundColor(), orange);
    QCOMPARE(message->alignment(), Qt::AlignCenter);
    QCOMPARE(app.usertfl()->palette().color(QPalette::WindowText), blue);
    QCOMPARE(app.passtfl()->palette().color(QPalette::Window), orange);
    QCOMPARE(app.usertfl()->text(), QStringLiteral("Email"));
    QCOMPARE(app.bookbutton()->text(), QStringLiteral("Open Book"));
    QVERIFY(!app.bookcombo()->isEditable() && !app.zoomcombo()->isEditable());

    // The two panels are painted with their own background and border.
    app.view3()->setHidden(false);
    const QImage panel = app.view3()->grab().toImage();
    QCOMPARE(panel.pixelColor(195, 40).rgba(), orange.rgba()); // between the fields and the border
    QCOMPARE(panel.pixelColor(0, panel.height() / 2).rgba(), QColor(Qt::black).rgba());
}

void MainWindowTest::keyViewChain()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QTRY_VERIFY_WITH_TIMEOUT(app.view3()->isVisible(), kWaitMs);
    viewer.window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&viewer.window()));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(app.usertf()));

    QTest::keyClick(app.usertf(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(app.passtf()));
    QTest::keyClick(app.passtf(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(app.usertf()));
    app.logonb()->setFocus();
    QTest::keyClick(app.logonb(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(app.usertf()));
}

void MainWindowTest::emptyFieldMessages_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::newRow("both empty") << "" << "" << "Please enter User";
    QTest::newRow("email empty") << "" << "pw" << "Please enter User";
    QTest::newRow("password empty") << "a@b.c" << "" << "Please enter Password";
}

void MainWindowTest::emptyFieldMessages()
{
    QFETCH(QString, email);
    QFETCH(QString, password);
    QFETCH(QString, message);
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(viewer.submitLogin(email, password));
    QVERIFY(app.tooltip1()->isVisible());
    QCOMPARE(app.tooltip1()->text(), message);
    QVERIFY(app.logonb()->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(app.tooltip1()->isHidden(), kWaitMs);
    QCOMPARE(server->requests().size(), 1); // the server check only
}

void MainWindowTest::menuItemsFollowTheSession()
{
    server->setAnswer(kUserPath, "NYYAcme^^Sales^^" + velkarn().encodestr(QStringLiteral("pw")).toUtf8());
    server->setAnswer(kBookPath, "*START*");
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QCOMPARE(menuState(app), (MenuState{false, false, false}));

    QVERIFY(viewer.submitLogin(QStringLiteral("a@b.c"), QStringLiteral("wrong")));
    QCOMPARE(menuState(app), (MenuState{false, false, false}));
    QTRY_VERIFY_WITH_TIMEOUT(!app.isUserTimerLive(), kWaitMs);
    QCOMPARE(viewer.window().windowTitle(), QStringLiteral("Velkarn PDF Viewer - Failed Login"));
    QCOMPARE(menuState(app), (MenuState{false, false, false}));

    QVERIFY(viewer.signIn(QStringLiteral("a@b.c"), QStringLiteral("pw")));
    QCOMPARE(menuState(app), (MenuState{false, true, true}));

    app.winAMenuItem2()->trigger();
    QCOMPARE(menuState(app), (MenuState{true, false, false}));
    QVERIFY(app.bookview()->isHidden() && app.view3()->isHidden());
    QCOMPARE(viewer.window().windowTitle(), QStringLiteral("Velkarn PDF Viewer - Acme"));

    app.winAMenuItem()->trigger();
    QCOMPARE(menuState(app), (MenuState{false, false, false}));
    QVERIFY(app.view3()->isVisible());
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(app.usertf()));
}

void MainWindowTest::secondSubmissionWhileCheckingIsIgnored()
{
    server->setSilent(kUserPath);
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(viewer.submitLogin(QStringLiteral("a@b.c"), QStringLiteral("pw")));
    QVERIFY(!app.logonb()->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(server->requests().size(), 2, kWaitMs);

    QTest::keyClick(app.passtf(), Qt::Key_Return);
    app.checkserver();
    QTRY_COMPARE_WITH_TIMEOUT(server->requests().size(), 3, kWaitMs);
    QCOMPARE(server->requests().last().path(), kServerPath);
    QVERIFY(app.isUserTimerLive());
}

void MainWindowTest::clicksOnTheBackgroundAreLogged()
{
    server->setSilent(kServerPath);
    LaunchedViewer viewer;
    QWidget *content = viewer.window().centralWidget();
    const quint8 before = viewer.window().windowclick2();

    StderrCapture capture;
    QTest::mouseClick(content, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseClick(content, Qt::LeftButton, {}, QPoint(600, 600));
    const QByteArray log = capture.text();

    QVERIFY2(log.contains("Clicked 10.000000 670.000000\n"), log.constData());
    QVERIFY2(log.contains("Clicked 600.000000 80.000000\n"), log.constData());
    QCOMPARE(viewer.window().windowclick2(), before);
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
