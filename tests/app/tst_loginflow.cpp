#include "PanelView.h"
#include "ViewerHarness.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace vk;

namespace {
constexpr int kWaitMs = 20000;
const QStringList kBooks{"Zebra Manual", "Alpha Guide", "Middle Notes"};
}

// Sign-in, refusal, book list, logout and exit against a real portal.
class LoginFlowTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void refusedLogin_data();
    void refusedLogin();
    void signInLeaveAndSignInAgain_data();
    void signInLeaveAndSignInAgain();

private:
    PortalProcess portal;
};

void LoginFlowTest::initTestCase()
{
    QVERIFY(addReader(portal, "ann@example.org", "ann-pass", "Acme"));
    QVERIFY(addReader(portal, "bob@example.org", "bob-pass", "Acme", false));
    QVERIFY(addReader(portal, "cy@example.org", "cy-pass", "Acme"));
    QVERIFY(addReader(portal, "dee+x&y@example.org", "dee-pass", "Beta"));
    for (int i = 0; i < kBooks.size(); ++i)
        QCOMPARE(portal.admin({"book", "add", "--company", "Acme", "--category", "Sales", "--name", kBooks.at(i),
                               "--url", QStringLiteral("https://books.example/%1.pdf").arg(i)}).exitCode, 0);
    QVERIFY2(startRealPortal(portal), portal.errors().constData());
}

void LoginFlowTest::refusedLogin_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::newRow("wrong password") << "ann@example.org" << "Ann-pass" << "Login Failed, please re-enter";
    QTest::newRow("inactive account") << "bob@example.org" << "bob-pass" << "Login Failed, please re-enter";
    QTest::newRow("unknown address") << "nobody@example.org" << "x" << "Login Failed, please re-enter";
    QTest::newRow("signed in elsewhere") << "cy@example.org" << "wrong" << "User Already Logged On";
    // Nothing is sent for these.
    QTest::newRow("both empty") << "" << "" << "Please enter User";
    QTest::newRow("address empty") << "" << "pw" << "Please enter User";
    QTest::newRow("password empty") << "ann@example.org" << "" << "Please enter Password";
}

void LoginFlowTest::refusedLogin()
{
    QFETCH(QString, email);
    QFETCH(QString, password);
    QFETCH(QString, message);
    if (message == QLatin1String("User Already Logged On")) {
        LaunchedViewer other; // signs in and goes without telling the portal
        QVERIFY(other.signIn(email, "cy-pass"));
    }
    LaunchedViewer viewer;
    AppDelegate &app = viewer.app();
    QVERIFY(viewer.submitLogin(email, password));
    QTRY_VERIFY_WITH_TIMEOUT(!app.isUserTimerLive(), kWaitMs);
    QCOMPARE(viewer.window().windowTitle(), message.startsWith("Please") ? QStringLiteral("Velkarn PDF Viewer")
                                                                         : QStringLiteral("Velkarn PDF Viewer - Failed Login"));
    QCOMPARE(app.tooltip1()->text(), message);
    QVERIFY(app.tooltip1()->isVisible() && app.view3()->isVisible() && app.logonb()->isEnabled());
    QCOMPARE(app.passtf()->text(), password);
    QTRY_VERIFY_WITH_TIMEOUT(app.tooltip1()->isHidden(), kWaitMs);
}

void LoginFlowTest::signInLeaveAndSignInAgain_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("company");
    QTest::addColumn<bool>("closeWindow");
    QTest::newRow("logout") << "ann@example.org" << "ann-pass" << "Acme" << false;
    // Reserved characters in the address must survive the portal's form decoding.
    QTest::newRow("closing the window") << "dee+x&y@example.org" << "dee-pass" << "Beta" << true;
}

// The portal accepts an account again only once it has taken the "N" for it.
void LoginFlowTest::signInLeaveAndSignInAgain()
{
    QFETCH(QString, email);
    QFETCH(QString, password);
    QFETCH(QString, company);
    QFETCH(bool, closeWindow);
    const QStringList books = company == "Acme" ? kBooks : QStringList();
    auto viewer = std::make_unique<LaunchedViewer>();
    for (int round = 0; round < 2; ++round) {
        AppDelegate &app = viewer->app();
        QVERIFY(viewer->signIn(email, password));
        QCOMPARE(viewer->window().windowTitle(), "Velkarn PDF Viewer - " + company);
        QVERIFY(app.view3()->isHidden() && app.bookbutton()->isEnabled() && !app.logonb()->isEnabled());
        QStringList shown; // in the portal's order, refilled rather than appended to
        for (int i = 0; i < app.bookcombo()->count(); ++i)
            shown.append(app.bookcombo()->itemText(i));
        QCOMPARE(shown, books);
        QCOMPARE(app.bookcombo()->currentIndex(), books.isEmpty() ? -1 : 0);
        QCOMPARE(app.booklocs().value(2), books.isEmpty() ? QString() : "https://books.example/2.pdf");
        if (round == 0 && closeWindow) {
            viewer->window().close();
            QVERIFY(viewer->exitedOnceWithZero());
            viewer.reset();
            viewer = std::make_unique<LaunchedViewer>();
        } else {
            app.logout();
            QVERIFY(viewer->waitForIdle());
            app.login();
        }
    }
}

QTEST_MAIN(LoginFlowTest)
#include "tst_loginflow.moc"
