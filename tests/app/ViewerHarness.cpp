#include "ViewerHarness.h"

#include "MainInterface.h"
#include "PanelView.h"
#include "TestCertificates.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {
constexpr int kWaitMs = 20000;
}

const TestCertificates &testCertificates()
{
    static TestCertificates *certificates = [] {
        auto *made = new TestCertificates;
        if (!made->create())
            qFatal("test certificates: %s", qPrintable(made->errorText()));
        qputenv("VELKARN_PORTAL_CA", made->caCertificatePath().toLocal8Bit());
        return made;
    }();
    return *certificates;
}

void usePortalPort(quint16 port)
{
    qputenv("VELKARN_PORTAL_HOST", "127.0.0.1:" + QByteArray::number(port));
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

PortalProcess::PortalProcess()
{
    admin({QStringLiteral("init")});
}

PortalProcess::~PortalProcess()
{
    server.terminate();
    if (!server.waitForFinished(10000))
        server.kill();
    server.waitForFinished(5000);
}

bool PortalProcess::admin(QStringList arguments)
{
    arguments << QStringLiteral("--db") << dir.filePath(QStringLiteral("library.sqlite"));
    QProcess process;
    process.start(QStringLiteral(VELKARN_PORTAL_BIN), arguments);
    const bool ok = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
    _error = QString::fromLocal8Bit(process.readAllStandardError());
    return ok;
}

bool PortalProcess::addUser(const QString &email, const QString &password, const QString &company, bool active)
{
    admin({"company", "add", "--name", company}); // there already for a second user
    return admin({"user", "add", "--email", email, "--company", company, "--category", "Sales",
                  "--password", password, "--active", active ? "Y" : "N"});
}

bool PortalProcess::start()
{
    server.start(QStringLiteral(VELKARN_PORTAL_BIN),
                 {"serve", "--db", dir.filePath(QStringLiteral("library.sqlite")), "--listen", "127.0.0.1:0",
                  "--cert", testCertificates().serverCertificatePath(), "--key",
                  testCertificates().serverKeyPath()});
    while (server.waitForStarted(10000) && !server.canReadLine() && server.waitForReadyRead(30000)) {
    }
    const QByteArray line = server.readLine().trimmed(); // "listening on https://127.0.0.1:PORT"
    _port = quint16(line.mid(line.lastIndexOf(':') + 1).toUInt());
    if (_port == 0)
        _error = QString::fromLocal8Bit(server.readAllStandardError());
    return _port != 0;
}
