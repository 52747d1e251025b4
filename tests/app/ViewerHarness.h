#pragma once

#include "AppDelegate.h"
#include "CustomNSWindow.h"

#include <QProcess>
#include <QTemporaryDir>

class TestCertificates;

// Throw-away certificates for the whole test process; the first call points
// VELKARN_PORTAL_CA at their CA before the URL session reads it.
const TestCertificates &testCertificates();
void usePortalPort(quint16 port); // the viewer's portal: 127.0.0.1 on this port

// The viewer as main() starts it, with the process exit replaced by a counter.
class LaunchedViewer
{
public:
    LaunchedViewer();
    ~LaunchedViewer();
    AppDelegate &app() { return *delegate; }
    CustomNSWindow &window() { return *mainWindow; }
    // Waits for the login panel, fills both fields and presses "Login".
    bool submitLogin(const QString &email, const QString &password);
    bool signIn(const QString &email, const QString &password); // and waits for the book list
    bool waitForIdle(); // until no portal request is outstanding

    int exitCalls = 0;
    int exitStatus = -1;

private:
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<CustomNSWindow> mainWindow;
};

// A velkarn-portal with its own library in a temporary directory.
class PortalProcess
{
public:
    PortalProcess();
    ~PortalProcess();
    bool admin(QStringList arguments); // an admin command on this library; true on success
    bool addUser(const QString &email, const QString &password, const QString &company, bool active = true);
    bool start(); // serves on a free port with the test certificate
    quint16 port() const { return _port; }
    QString errorText() const { return _error; }

private:
    QTemporaryDir dir;
    QProcess server;
    quint16 _port = 0;
    QString _error;
};
