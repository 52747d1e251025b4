#include "ViewerHarness.h"

#include "MainInterface.h"
#include "PanelView.h"
#include "TestCertificates.h"
#include "velkarn.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace vk;

void usePortalPort(quint16 port)
{
    qputenv("VELKARN_PORTAL_HOST", "127.0.0.1:" + QByteArray::number(port));
}

const TestCertificates &testCertificates()
{
    // A static object, not a leaked one, so that its directory goes at exit.
    static TestCertificates certificates;
    static const bool made = [] {
        if (!certificates.create())
            qFatal("test certificates: %s", qPrintable(certificates.errorText()));
        qputenv("VELKARN_PORTAL_CA", certificates.caCertificatePath().toLocal8Bit());
        return true;
    }();
    Q_UNUSED(made);
    return certificates;
}

std::unique_ptr<CapturingTlsServer> startCapturingPortal()
{
    auto server = std::make_unique<CapturingTlsServer>(testCertificates().serverCertificatePath(),
                                                       testCertificates().serverKeyPath());
    if (!server->isListening())
        return nullptr;
    server->setAnswer(kUserPath, loginAnswer());
    server->setAnswer(kBookPath, "*START*");
    usePortalPort(server->port());
    return server;
}

bool startRealPortal(PortalProcess &portal)
{
    if (!portal.start(testCertificates().serverCertificatePath(), testCertificates().serverKeyPath()))
        return false;
    usePortalPort(portal.port());
    return true;
}

QByteArray loginAnswer(const QString &company)
{
    return ("NYY" + company + "^^Sales^^" + velkarn().encodestr("pw")).toUtf8();
}

QList<QByteArray> bodiesTo(const CapturingTlsServer &server, const QByteArray &path)
{
    QList<QByteArray> bodies;
    for (const CapturedRequest &request : server.requests()) {
        if (request.path() == path)
            bodies.append(request.method + ' ' + request.body);
    }
    return bodies;
}

QByteArray bookAnswer(const QList<QStringList> &books)
{
    velkarn v;
    QString text = QStringLiteral("*START*");
    for (const QStringList &book : books)
        text += "01" + book.value(2, "Book") + "^^" + v.encodestr(book.at(0)) + "^^" + v.encodestr(book.at(1))
                + "^^abc.+.";
    return (text + "*END*").toUtf8();
}

bool addReader(PortalProcess &portal, const QString &email, const QString &password, const QString &company,
               bool active)
{
    portal.admin({"company", "add", "--name", company});
    const QStringList user{"user", "add", "--email", email, "--company", company, "--category", "Sales",
                           "--password", password, "--active", active ? "Y" : "N"};
    return portal.admin(user).exitCode == 0;
}

LaunchedViewer::LaunchedViewer()
    : delegate(std::make_unique<AppDelegate>())
{
    testCertificates();
    delegate->setExitFunction([this](int status) { ++exitCalls; exitStatus = status; });
    mainWindow = makeMainInterface(delegate.get());
    delegate->applicationWillFinishLaunching();
    delegate->applicationDidFinishLaunching();
    mainWindow->show();
}

LaunchedViewer::~LaunchedViewer()
{
    // The controller's teardown waits for the transfers that still hold it.
    mainWindow->setDelegate(nullptr);
    mainWindow.reset();
    delegate.reset();
}

bool LaunchedViewer::submitLogin(const QString &email, const QString &password)
{
    if (!QTest::qWaitFor([this] { return delegate->view3()->isVisible() && delegate->logonb()->isEnabled(); },
                         kWaitMs))
        return false;
    delegate->usertf()->setText(email);
    delegate->passtf()->setText(password);
    delegate->logonb()->click();
    return true;
}

bool LaunchedViewer::signIn(const QString &email, const QString &password)
{
    return submitLogin(email, password) && QTest::qWaitFor([this] {
               return delegate->bookview()->isVisible() && !delegate->isBookTimerLive();
           }, kWaitMs);
}

bool LaunchedViewer::waitForIdle()
{
    return QTest::qWaitFor([this] { return delegate->guardValue() == 0; }, kWaitMs);
}
