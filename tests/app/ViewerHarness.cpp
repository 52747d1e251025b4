#include "ViewerHarness.h"

#include "MainInterface.h"
#include "PanelView.h"
#include "TestCertificates.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
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
    qputenv("VELKARN_PORTAL_HOST", QByteArray("127.0.0.1:") + QByteArray::number(port));
}

LaunchedViewer::LaunchedViewer()
    : delegate(std::make_unique<AppDelegate>())
{
    testCertificates();
    delegate->setExitFunction([this](int status) {
        ++exitCalls;
        exitStatus = status;
    });
    mainWindow = makeMainInterface(delegate.get());
    delegate->applicationWillFinishLaunching();
    delegate->applicationDidFinishLaunching();
    mainWindow->show();
}

LaunchedViewer::~LaunchedViewer()
{
    // The window goes first: the controller's teardown waits for the transfers
    // that still hold it, never for a control.
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
    return submitLogin(email, password)
        && QTest::qWaitFor([this] {
               return delegate->bookview()->isVisible() && !delegate->isBookTimerLive();
           }, kWaitMs);
}

PortalProcess::PortalProcess()
{
    db = dir.filePath(QStringLiteral("library.sqlite"));
    admin({QStringLiteral("init")});
}

PortalProcess::~PortalProcess()
{
    if (server.state() != QProcess::NotRunning) {
        server.terminate();
        if (!server.waitForFinished(10000)) {
            server.kill();
            server.waitForFinished(5000);
        }
    }
}

bool PortalProcess::admin(const QStringList &arguments)
{
    QProcess process;
    QStringList all = arguments;
    all << QStringLiteral("--db") << db;
    if (arguments.value(0) == QLatin1String("book"))
        all << QStringLiteral("--store") << dir.filePath(QStringLiteral("store"));
    process.start(QStringLiteral(VELKARN_PORTAL_BIN), all);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        _error = QString::fromLocal8Bit(process.readAllStandardError());
        return false;
    }
    return true;
}

bool PortalProcess::addUser(const QString &email, const QString &password, const QString &company,
                            const QString &category, bool active)
{
    // The company may be there already from an earlier user.
    admin({QStringLiteral("company"), QStringLiteral("add"), QStringLiteral("--name"), company});
    return admin({QStringLiteral("user"), QStringLiteral("add"), QStringLiteral("--email"), email,
                  QStringLiteral("--company"), company, QStringLiteral("--category"), category,
                  QStringLiteral("--password"), password, QStringLiteral("--active"),
                  active ? QStringLiteral("Y") : QStringLiteral("N")});
}

bool PortalProcess::addBook(const QString &company, const QString &category, const QString &name,
                            const QString &file, const QString &password)
{
    QStringList arguments{QStringLiteral("book"), QStringLiteral("add"), QStringLiteral("--company"),
                          company, QStringLiteral("--category"), category, QStringLiteral("--name"),
                          name, QStringLiteral("--file"), file};
    if (!password.isEmpty())
        arguments << QStringLiteral("--password") << password;
    return admin(arguments);
}

bool PortalProcess::start()
{
    const TestCertificates &certificates = testCertificates();
    server.setProcessChannelMode(QProcess::SeparateChannels);
    server.start(QStringLiteral(VELKARN_PORTAL_BIN),
                 {QStringLiteral("serve"), QStringLiteral("--db"), db, QStringLiteral("--store"),
                  dir.filePath(QStringLiteral("store")), QStringLiteral("--listen"),
                  QStringLiteral("127.0.0.1:0"), QStringLiteral("--cert"),
                  certificates.serverCertificatePath(), QStringLiteral("--key"),
                  certificates.serverKeyPath()});
    if (!server.waitForStarted(10000))
        return false;
    while (!server.canReadLine()) {
        if (!server.waitForReadyRead(30000)) {
            _error = QString::fromLocal8Bit(server.readAllStandardError());
            return false;
        }
    }
    const QString line = QString::fromLocal8Bit(server.readLine());
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral(":(\\d+)\\s*$")).match(line);
    _port = match.hasMatch() ? quint16(match.captured(1).toUInt()) : 0;
    return _port != 0;
}
