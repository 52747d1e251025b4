#include "PanelView.h"
#include "PdfView.h"
#include "ViewerHarness.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {
constexpr int kWaitMs = 20000;
const QStringList kBooks{QStringLiteral("Zebra Manual"), QStringLiteral("Alpha Guide"),
                         QStringLiteral("Middle Notes")};
}

// Sign-in, refusal, book list, logout and exit against the reference portal.
class LoginFlowTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void refusedLogin_data();
    void refusedLogin();
    void acceptedLoginLogoutAndSecondLogin();
    void closingTheWindowSignsTheUserOut();

private:
    std::unique_ptr<PortalProcess> portal;
};

void LoginFlowTest::initTestCase()
{
    portal = std::make_unique<PortalProcess>();
    QVERIFY2(portal->addUser("ann@example.org", "ann-pass", "Acme", "Sales"), qPrintable(portal->errorText()));
    QVERIFY(portal->addUser("bob@example.org", "bob-pass", "Acme", "Sales", false));
    QVERIFY(portal->addUser("cy@example.org", "cy-pass", "Acme", "Sales"));
    QVERIFY(portal->addUser("dee+x&y@example.org", "dee-pass", "Beta", "Law"));
    for (int i = 0; i < kBooks.size(); ++i) {
        QVERIFY2(portal->admin({"book", "add", "--company", "Acme", "--category", "Sales", "--name",
                                kBooks.at(i), "--url", QStringLiteral("https://books.example/%1.pdf").arg(i),
                                "--position", QString::number(i + 1)}),
                 qPrintable(portal->errorText()));
    }
    QVERIFY2(portal->start(), qPrintable(portal->errorText()));
    usePortalPort(portal->port());
}

void LoginFlowTest::refusedLogin_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::newRow("wrong password") << "ann@example.org" << "Ann-pass" << "Login Failed, please re-enter";
    QTest::newRow("inactive account") << "bob@example.org" << "bob-pass" << "Login Failed, please re-enter";
    QTest::newRow("unknown address") << "nobody@example.org" << "x" << "Login Failed, please re-enter";
    QTest::newRow("already signed in") << "cy@example.org" << "wrong" << "User Already Logged On";
}

void LoginFlowTest::refusedLogin()
{
    QFETCH(QString, email);
    QFETCH(QString, password);
    QFETCH(QString, message);
    if (message == QLatin1String("User Already Logged On")) {
        // Another reader holds the account; it stays signed in on the portal.
        LaunchedViewer other;
        QVERIFY(other.signIn(email, QStringLiteral("cy-pass")));
    }

    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(viewer.submitLogin(email, password));
    QTRY_VERIFY_WITH_TIMEOUT(!app.isUserTimerLive(), kWaitMs);
    QCOMPARE(viewer.window().windowTitle(), QStringLiteral("Velkarn PDF Viewer - Failed Login"));
    QVERIFY(app.tooltip1()->isVisible());
    QCOMPARE(app.tooltip1()->text(), message);
    QVERIFY(app.view3()->isVisible());
    QVERIFY(app.logonb()->isEnabled());
    QCOMPARE(app.usertf()->text(), email);
    QCOMPARE(app.passtf()->text(), password);
    QVERIFY(!app.winAMenuItem2()->isEnabled());
    QCOMPARE(app.monlineValue(), quint8(0));
    QTRY_VERIFY_WITH_TIMEOUT(app.tooltip1()->isHidden(), kWaitMs);
}

void LoginFlowTest::acceptedLoginLogoutAndSecondLogin()
{
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(viewer.signIn(QStringLiteral("ann@example.org"), QStringLiteral("ann-pass")));
    QCOMPARE(viewer.window().windowTitle(), QStringLiteral("Velkarn PDF Viewer - Acme"));
    QVERIFY(app.view3()->isHidden());
    QVERIFY(app.bookbutton()->isEnabled());
    QVERIFY(!app.logonb()->isEnabled());
    QCOMPARE(app.bookcombo()->count(), kBooks.size());
    for (int i = 0; i < kBooks.size(); ++i)
        QCOMPARE(app.bookcombo()->itemText(i), kBooks.at(i));
    QCOMPARE(app.bookcombo()->currentIndex(), 0);
    QCOMPARE(app.booklocs().value(2), QStringLiteral("https://books.example/2.pdf"));
    QCOMPARE(app.bookpasses().value(0), QString());

    app.logout();
    QVERIFY(app.bookview()->isHidden());
    QVERIFY(app.view3()->isHidden());
    QVERIFY(app.logonb()->isEnabled());
    QVERIFY(app.pdfView()->autoScales());
    QCOMPARE(app.pdfView()->scaleFactor(), 0.8);
    QCOMPARE(app.zoomcombo()->currentText(), QStringLiteral("1.0"));
    QCOMPARE(viewer.window().windowTitle(), QStringLiteral("Velkarn PDF Viewer - Acme"));
    QCOMPARE(app.bookcombo()->count(), kBooks.size());

    // The portal has taken the "N" once it accepts the same account again.
    app.login();
    QVERIFY(QTest::qWaitFor([&] { return app.guardValue() == 0; }, kWaitMs));
    QVERIFY(viewer.signIn(QStringLiteral("ann@example.org"), QStringLiteral("ann-pass")));
    QCOMPARE(app.bookcombo()->count(), kBooks.size());
    QCOMPARE(app.bookcombo()->currentText(), kBooks.first());
    app.logout();
    QVERIFY(QTest::qWaitFor([&] { return app.guardValue() == 0; }, kWaitMs));
}

void LoginFlowTest::closingTheWindowSignsTheUserOut()
{
    {
        LaunchedViewer viewer;
        QVERIFY(viewer.signIn(QStringLiteral("dee+x&y@example.org"), QStringLiteral("dee-pass")));
        QCOMPARE(viewer.window().windowTitle(), QStringLiteral("Velkarn PDF Viewer - Beta"));
        QCOMPARE(viewer.app().bookcount(), 0);
        QCOMPARE(viewer.app().bookcombo()->count(), 0);
        viewer.window().close();
        QCOMPARE(viewer.exitCalls, 1);
        QCOMPARE(viewer.exitStatus, 0);
    }
    LaunchedViewer again;
    QVERIFY(again.signIn(QStringLiteral("dee+x&y@example.org"), QStringLiteral("dee-pass")));
    again.app().logout();
    QVERIFY(QTest::qWaitFor([&] { return again.app().guardValue() == 0; }, kWaitMs));
}

QTEST_MAIN(LoginFlowTest)
#include "tst_loginflow.moc"
